#include <windows.h>

#include <gtest/gtest.h>
#include "platform/utf16_windows.h"

#include "support/check_setup.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

std::wstring key_of(CheckedBrowser browser) {
  return browser == CheckedBrowser::kFirefox
             ? L"Software\\Mozilla\\NativeMessagingHosts\\com.velmont.qlx"
             : L"Software\\Google\\Chrome\\NativeMessagingHosts\\com.velmont.qlx";
}

std::wstring machine_key_of(CheckedBrowser browser) {
  return browser == CheckedBrowser::kFirefox
             ? L"SOFTWARE\\Mozilla\\NativeMessagingHosts\\com.velmont.qlx"
             : L"SOFTWARE\\Google\\Chrome\\NativeMessagingHosts\\com.velmont.qlx";
}

constexpr wchar_t kChromePolicies[] = L"SOFTWARE\\Policies\\Google\\Chrome";

/// Creates `key` below `hive` (64-bit view) and sets its value `name` (nullptr: the default).
void set_value(HKEY hive, const std::wstring& key, const wchar_t* name, DWORD type,
               const void* data, DWORD size) {
  HKEY opened = nullptr;
  EXPECT_EQ(RegCreateKeyExW(hive, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(opened);
}

void set_string(HKEY hive, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
  set_value(hive, key, name, REG_SZ, text.c_str(),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::string machine_location(const Path&, CheckedBrowser browser) {
  return "HKLM\\" + utf16_to_utf8(machine_key_of(browser));
}

std::string place_machine_manifest(const Path&, const Path& install, CheckedBrowser browser,
                                   std::string_view text) {
  const Path file =
      install / (browser == CheckedBrowser::kFirefox ? L"machine.firefox.json" : L"machine.json");
  EXPECT_TRUE(write_file(file, text));
  set_string(HKEY_LOCAL_MACHINE, machine_key_of(browser), nullptr, file.native());
  return path_to_utf8(file);
}

MachineHost machine_host(const Path&) {
  const std::string host = path_to_utf8(host_executable());
  return {host, host};
}

std::string set_chrome_policies(const Path&, const Json& policies) {
  for (const auto& [name, value] : policies.items()) {
    const std::wstring wide = utf8_to_utf16(name);
    if (value.is_boolean()) {
      const DWORD flag = value.get<bool>() ? 1 : 0;
      set_value(HKEY_LOCAL_MACHINE, kChromePolicies, wide.c_str(), REG_DWORD, &flag, sizeof flag);
      continue;
    }
    int number = 0;
    for (const Json& item : value) {
      set_string(HKEY_LOCAL_MACHINE, std::wstring(kChromePolicies) + L"\\" + wide,
                 std::to_wstring(++number).c_str(), utf8_to_utf16(item.get<std::string>()));
    }
  }
  return "HKLM\\SOFTWARE\\Policies\\Google\\Chrome";
}

std::vector<std::string> root_arguments(const Path&) {
  return {};
}

const std::string_view kSystemRightsAdvice = "from an administrator prompt";

std::string registration_location(const Path&, CheckedBrowser browser) {
  return "HKCU\\" + utf16_to_utf8(key_of(browser));
}

std::string place_manifest(const Path&, const Path& install, CheckedBrowser browser,
                           std::string_view text) {
  const Path file = install / (browser == CheckedBrowser::kFirefox ? L"com.velmont.qlx.firefox.json"
                                                                   : L"com.velmont.qlx.json");
  EXPECT_TRUE(write_file(file, text));
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_of(browser).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring& value = file.native();
  EXPECT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
  return path_to_utf8(file);
}

Path unstartable_host(const Path& install) {
  const Path host = install / L"qlx-native-host.exe";
  std::filesystem::create_directory(host);
  return host;
}

const bool kHasScriptHosts = false;

Path script_host(const Path& install, std::string_view) {
  ADD_FAILURE() << "no shell scripts on Windows";
  return install;
}

std::vector<EnvChange> check_env(const Path&, const Path& local_app_data) {
  return local_app_data_env(local_app_data);
}

void remove_registrations() {
  for (CheckedBrowser browser : {CheckedBrowser::kChrome, CheckedBrowser::kFirefox}) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key_of(browser).c_str());
    HKEY machine = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                      &machine) == ERROR_SUCCESS) {
      RegDeleteTreeW(machine, machine_key_of(browser).substr(9).c_str());
      RegCloseKey(machine);
    }
  }
  HKEY policies = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Google", 0,
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY, &policies) == ERROR_SUCCESS) {
    RegDeleteTreeW(policies, L"Chrome");
    RegCloseKey(policies);
  }
}

}  // namespace qlx::testing_support
