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

}  // namespace

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
  }
}

}  // namespace qlx::testing_support
