#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include "platform/utf16_windows.h"

#include "support/check_setup.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

/// Where each browser is, in the order of CheckedBrowser.
struct BrowserPlaces {
  std::wstring_view vendor;     // below Software (SOFTWARE)
  std::wstring_view user_data;  // below the local application-data folder (Firefox: roaming)
  std::wstring_view program;    // its App Paths key
};

constexpr BrowserPlaces kPlaces[] = {
    {L"Google\\Chrome", L"Google\\Chrome\\User Data", L"chrome.exe"},
    {L"Chromium", L"Chromium\\User Data", L""},
    {L"Microsoft\\Edge", L"Microsoft\\Edge\\User Data", L"msedge.exe"},
    {L"BraveSoftware\\Brave-Browser", L"BraveSoftware\\Brave-Browser\\User Data", L"brave.exe"},
    {L"Vivaldi", L"Vivaldi\\User Data", L"vivaldi.exe"},
    {L"Opera Software", L"Opera Software\\Opera Stable", L"opera.exe"},
    {L"Mozilla", L"Mozilla\\Firefox\\profiles.ini", L"firefox.exe"},
};

constexpr wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

const BrowserPlaces& places_of(CheckedBrowser browser) {
  return kPlaces[static_cast<int>(browser)];
}

std::wstring key_of(CheckedBrowser browser) {
  return L"Software\\" + std::wstring(places_of(browser).vendor) +
         L"\\NativeMessagingHosts\\com.velmont.qlx";
}

std::wstring machine_key_of(CheckedBrowser browser) {
  return L"SOFTWARE\\" + std::wstring(places_of(browser).vendor) +
         L"\\NativeMessagingHosts\\com.velmont.qlx";
}

REGSAM view_flag(MachineView view) {
  return view == MachineView::k32Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

constexpr wchar_t kChromePolicies[] = L"SOFTWARE\\Policies\\Google\\Chrome";

/// Creates `key` below `hive` (in `view`) and sets its value `name` (nullptr: the default).
void set_value(HKEY hive, const std::wstring& key, const wchar_t* name, DWORD type,
               const void* data, DWORD size, REGSAM view = KEY_WOW64_64KEY) {
  HKEY opened = nullptr;
  EXPECT_EQ(RegCreateKeyExW(hive, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE | view, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(opened);
}

void set_string(HKEY hive, const std::wstring& key, const wchar_t* name, const std::wstring& text,
                REGSAM view = KEY_WOW64_64KEY) {
  set_value(hive, key, name, REG_SZ, text.c_str(),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

/// Deletes `key` with everything below it, then the keys above it that this
/// leaves empty, up to the hive's software key.
void delete_and_prune(HKEY hive, std::wstring key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_ALL_ACCESS | view, &opened) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteTreeW(opened, nullptr);
  RegCloseKey(opened);
  for (; key.find(L'\\') != std::wstring::npos; key.resize(key.rfind(L'\\'))) {
    if (RegDeleteKeyExW(hive, key.c_str(), view, 0) != ERROR_SUCCESS) break;
  }
}

/// The user's roaming application-data folder (as the tool finds it).
Path roaming_folder() {
  wchar_t folder[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  return Path(folder);
}

}  // namespace

std::string machine_location(const Path&, CheckedBrowser browser, MachineView view) {
  const std::wstring key = machine_key_of(browser);
  return view == MachineView::k32Bit
             ? "HKLM\\SOFTWARE\\WOW6432Node\\" + utf16_to_utf8(key.substr(9))
             : "HKLM\\" + utf16_to_utf8(key);
}

std::string place_machine_manifest(const Path&, const Path& install, CheckedBrowser browser,
                                   std::string_view text, MachineView view) {
  const Path file =
      install / (std::wstring(view == MachineView::k32Bit ? L"machine32" : L"machine") +
                 (browser == CheckedBrowser::kFirefox ? L".firefox.json" : L".json"));
  EXPECT_TRUE(write_file(file, text));
  set_string(HKEY_LOCAL_MACHINE, machine_key_of(browser), nullptr, file.native(), view_flag(view));
  return path_to_utf8(file);
}

const std::string_view kMachineScope = "per machine, 64-bit view";

const bool kHasRegistryViews = true;

std::string unregistered_places(const Path& home, const Path& root, CheckedBrowser browser) {
  return registration_location(home, browser) + " (per user), " +
         machine_location(root, browser, MachineView::k32Bit) + " (per machine, 32-bit view) or " +
         machine_location(root, browser, MachineView::k64Bit) + " (per machine, 64-bit view)";
}

std::string registered_manifest(const Path&, const Path& install, CheckedBrowser browser) {
  return path_to_utf8(install / (browser == CheckedBrowser::kFirefox
                                     ? L"com.velmont.qlx.firefox.json"
                                     : L"com.velmont.qlx.json"));
}

std::vector<std::string> registered_browsers(const Path&) {
  std::vector<std::string> browsers;
  for (CheckedBrowser browser : kEveryBrowser) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key_of(browser).c_str(), 0, KEY_READ, &opened) ==
        ERROR_SUCCESS) {
      RegCloseKey(opened);
      browsers.push_back(browser_name(browser));
    }
  }
  return browsers;
}

const bool kHasSandboxes = false;

std::string place_sign(const Path&, const Path& local, const Path&, CheckedBrowser browser,
                       InstallSign sign) {
  const BrowserPlaces& places = places_of(browser);
  switch (sign) {
    case InstallSign::kUserFolder: {
      if (browser != CheckedBrowser::kFirefox) {
        std::filesystem::create_directories(local / places.user_data);
        return path_to_utf8(local / places.user_data);
      }
      const Path file = roaming_folder() / places.user_data;
      std::filesystem::create_directories(file.parent_path());
      EXPECT_TRUE(write_file(file, "[General]\r\n"));
      return path_to_utf8(file);
    }
    case InstallSign::kUserProgram:
    case InstallSign::kMachineProgram: {
      const bool user = sign == InstallSign::kUserProgram;
      const std::wstring key = kAppPaths + std::wstring(places.program);
      set_string(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key, nullptr,
                 L"C:\\Program Files\\" + std::wstring(places.program));
      return (user ? "HKCU\\" : "HKLM\\") + utf16_to_utf8(key);
    }
    default:
      ADD_FAILURE() << "no sandboxes on Windows";
      return "";
  }
}

Path host_copy(const Path& install) {
  const Path copy = install / L"qlx-native-host.exe";
  std::filesystem::copy_file(host_executable(), copy,
                             std::filesystem::copy_options::overwrite_existing);
  return copy;
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
  set_string(HKEY_CURRENT_USER, key_of(browser), nullptr, file.native());
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

std::vector<EnvChange> check_env(const Path&, const Path& local_app_data, const Path&) {
  return local_app_data_env(local_app_data);
}

void remove_registrations() {
  for (CheckedBrowser browser : kEveryBrowser) {
    delete_and_prune(HKEY_CURRENT_USER, key_of(browser), KEY_WOW64_64KEY);
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      delete_and_prune(HKEY_LOCAL_MACHINE, machine_key_of(browser), view);
    }
    const std::wstring_view program = places_of(browser).program;
    if (program.empty()) continue;
    const std::wstring app_paths = kAppPaths + std::wstring(program);
    RegDeleteKeyExW(HKEY_CURRENT_USER, app_paths.c_str(), KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, app_paths.c_str(), KEY_WOW64_64KEY, 0);
  }
  delete_and_prune(HKEY_LOCAL_MACHINE, kChromePolicies, KEY_WOW64_64KEY);
  const Path profiles = roaming_folder() / places_of(CheckedBrowser::kFirefox).user_data;
  std::error_code ignored;
  std::filesystem::remove(profiles, ignored);
  std::filesystem::remove(profiles.parent_path(), ignored);
  std::filesystem::remove(profiles.parent_path().parent_path(), ignored);
}

}  // namespace qlx::testing_support
