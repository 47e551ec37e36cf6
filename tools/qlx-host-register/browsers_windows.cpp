#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include "browsers.h"
#include "platform/error.h"
#include "platform/known_folder.h"
#include "platform/utf16_windows.h"
#include "registry_windows.h"

namespace qlx::host_register {
namespace {

/// A folder of the user's that the shell knows.
enum class AppData { kLocal, kRoaming };

struct Browser {
  std::string_view name;
  BrowserFamily family;
  std::string_view vendor_key;  // below HKEY_CURRENT_USER\Software (HKEY_LOCAL_MACHINE\SOFTWARE)
  std::string_view policy_key;  // below SOFTWARE\Policies; empty: the browser reads none
  // How to tell that the browser is installed:
  AppData data_folder;
  std::string_view data;       // its user-data folder (Firefox: file) below `data_folder`
  std::string_view app_paths;  // its program's App Paths key; empty: none of its own
};

// Each browser reads the user's hosts from the key
// HKCU\Software\<vendor path>\NativeMessagingHosts\<host name>, whose default
// value is the manifest's full path, and the machine's from the same key
// under HKLM\SOFTWARE, first in the 32-bit view, then in the 64-bit view.
// Chromium's installer takes chrome.exe's App Paths key, which is Chrome's.
constexpr Browser kBrowsers[] = {
    {"Google Chrome", BrowserFamily::kChromium, "Google\\Chrome", "Google\\Chrome", AppData::kLocal,
     "Google\\Chrome\\User Data", "chrome.exe"},
    {"Chromium", BrowserFamily::kChromium, "Chromium", "Chromium", AppData::kLocal,
     "Chromium\\User Data", ""},
    {"Microsoft Edge", BrowserFamily::kChromium, "Microsoft\\Edge", "Microsoft\\Edge",
     AppData::kLocal, "Microsoft\\Edge\\User Data", "msedge.exe"},
    {"Brave", BrowserFamily::kChromium, "BraveSoftware\\Brave-Browser", "BraveSoftware\\Brave",
     AppData::kLocal, "BraveSoftware\\Brave-Browser\\User Data", "brave.exe"},
    {"Vivaldi", BrowserFamily::kChromium, "Vivaldi", "", AppData::kLocal, "Vivaldi\\User Data",
     "vivaldi.exe"},
    {"Opera", BrowserFamily::kChromium, "Opera Software", "", AppData::kLocal,
     "Opera Software\\Opera Stable", "opera.exe"},
    {"Firefox", BrowserFamily::kFirefox, "Mozilla", "", AppData::kRoaming,
     "Mozilla\\Firefox\\profiles.ini", "firefox.exe"},
};

constexpr std::string_view kAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

/// The hive of the target's scope.
HKEY hive_of(const BrowserTarget& target) {
  return target.scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

/// The view flag of a registry view; HKCU's keys are the same in both.
REGSAM view_flag(RegistryView view) {
  return view == RegistryView::k32Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

/// Whether the key exists and holds neither subkeys nor values.
bool is_empty_key(HKEY hive, const std::wstring& key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
    return false;
  }
  const NativeHandle held = hold_key(opened);
  DWORD subkeys = 1;
  DWORD values = 1;
  return RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

/// Whether `key` exists below `hive` in `view`.
bool key_exists(HKEY hive, const std::wstring& key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) {
    return false;
  }
  const NativeHandle held = hold_key(opened);
  return true;
}

/// The user's roaming application-data folder; empty when the shell has
/// none.  (CSIDL_APPDATA is FOLDERID_RoamingAppData, which Wine's
/// SHGetKnownFolderPath does not resolve.)
Path roaming_app_data_folder() {
  wchar_t folder[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
    return Path();
  }
  return Path(folder);
}

/// Where `browser`'s App Paths key is, as a person reads it; empty when there is none.
std::string app_paths_entry(const Browser& browser) {
  if (browser.app_paths.empty()) return "";
  const std::string key = std::string(kAppPathsKey) + std::string(browser.app_paths);
  const std::wstring wide = utf8_to_utf16(key);
  if (key_exists(HKEY_CURRENT_USER, wide, KEY_WOW64_64KEY)) return "HKCU\\" + key;
  if (key_exists(HKEY_LOCAL_MACHINE, wide, KEY_WOW64_64KEY)) return "HKLM\\" + key;
  if (key_exists(HKEY_LOCAL_MACHINE, wide, KEY_WOW64_32KEY)) {
    return "HKLM\\SOFTWARE\\WOW6432Node\\" + key.substr(key.find('\\') + 1);
  }
  return "";
}

}  // namespace

std::vector<std::string> utf8_arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf16_to_utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string_view host_file_name() {
  return "qlx-native-host.exe";
}

bool resolves_relative_host_path() {
  return true;
}

Result<std::vector<BrowserTarget>> browser_targets(Scope scope, const Path&) {
  std::vector<BrowserTarget> targets;
  const std::string software = scope == Scope::kMachine ? "SOFTWARE\\" : "Software\\";
  for (const Browser& browser : kBrowsers) {
    BrowserTarget target;
    target.browser = browser.name;
    target.family = browser.family;
    target.scope = scope;
    target.key = software + std::string(browser.vendor_key) + "\\NativeMessagingHosts\\" +
                 std::string(kHostName);
    target.policy_place = browser.policy_key;
    if (scope == Scope::kUser) {
      target.location = "HKCU\\" + target.key;
      targets.push_back(std::move(target));
      continue;
    }
    BrowserTarget wow = target;
    wow.view = RegistryView::k32Bit;
    wow.rewrite_only = true;
    wow.location = "HKLM\\SOFTWARE\\WOW6432Node\\" + target.key.substr(software.size());
    targets.push_back(std::move(wow));
    target.view = RegistryView::k64Bit;
    target.location = "HKLM\\" + target.key;
    targets.push_back(std::move(target));
  }
  return targets;
}

std::vector<BrowserPresence> browser_presence(const Path&) {
  auto local = local_app_data_folder();
  const Path folders[] = {local ? *local : Path(), roaming_app_data_folder()};
  std::vector<BrowserPresence> found;
  for (const Browser& browser : kBrowsers) {
    BrowserPresence presence;
    presence.browser = browser.name;
    const Path& folder = folders[static_cast<int>(browser.data_folder)];
    const Path data = folder / utf8_to_utf16(browser.data);
    if (!folder.empty() && path_exists(data)) {
      presence.found = path_to_utf8(data);
    } else {
      presence.found = app_paths_entry(browser);
    }
    found.push_back(std::move(presence));
  }
  return found;
}

std::vector<std::string_view> browser_names() {
  std::vector<std::string_view> names;
  for (const Browser& browser : kBrowsers) names.push_back(browser.name);
  return names;
}

bool has_system_root() {
  return false;
}

std::string_view system_rights_advice() {
  return "from an administrator prompt";
}

Result<void> check_writable(const BrowserTarget& target) {
  // Creating keys below the hive's software key is what a registration needs.
  const std::string software = target.key.substr(0, target.key.find('\\'));
  HKEY opened = nullptr;
  const LSTATUS status =
      RegOpenKeyExW(hive_of(target), utf8_to_utf16(software).c_str(), 0,
                    KEY_CREATE_SUB_KEY | KEY_SET_VALUE | view_flag(target.view), &opened);
  if (status != ERROR_SUCCESS) {
    return fail("cannot write " + target.location.substr(0, target.location.find('\\') + 1) +
                software + ": " + system_failure(status).text);
  }
  const NativeHandle held = hold_key(opened);
  return {};
}

Result<void> register_with(const BrowserTarget& target, const Installation& installation) {
  HKEY opened = nullptr;
  LSTATUS status = RegCreateKeyExW(hive_of(target), utf8_to_utf16(target.key).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | view_flag(target.view),
                                   nullptr, &opened, nullptr);
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  const NativeHandle held = hold_key(opened);
  const std::wstring& value = installation.manifest_for(target.family).path.native();
  status = RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  return {};
}

namespace {

/// The key's default value; nullopt when the key is missing.  A key without
/// a default string value is a failure.
Result<std::optional<std::wstring>> default_value(const BrowserTarget& target) {
  HKEY opened = nullptr;
  LSTATUS status = RegOpenKeyExW(hive_of(target), utf8_to_utf16(target.key).c_str(), 0,
                                 KEY_QUERY_VALUE | view_flag(target.view), &opened);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  const NativeHandle held = hold_key(opened);
  DWORD type = 0;
  DWORD bytes = 0;
  status = RegQueryValueExW(opened, nullptr, nullptr, &type, nullptr, &bytes);
  if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && type != REG_SZ)) {
    return fail("the key has no default value");
  }
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  status = RegQueryValueExW(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                            &bytes);
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

}  // namespace

Registration registration_at(const BrowserTarget& target, const Installation& installation) {
  auto value = default_value(target);
  if (!value) return Registration::kForeign;
  if (!*value) return Registration::kNone;
  return **value == installation.manifest_for(target.family).path.native() ? Registration::kOurs
                                                                           : Registration::kForeign;
}

Result<std::optional<Path>> registered_manifest(const BrowserTarget& target) {
  auto value = default_value(target);
  if (!value) return fail(std::move(value.error()));
  if (!*value) return std::nullopt;
  return Path(**value);
}

Result<void> unregister_from(const BrowserTarget& target) {
  const HKEY hive = hive_of(target);
  const REGSAM view = view_flag(target.view);
  std::wstring key = utf8_to_utf16(target.key);
  const LSTATUS status = RegDeleteKeyExW(hive, key.c_str(), view, 0);
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  // Up to, not including, the hive's software key.
  for (;;) {
    key.resize(key.rfind(L'\\'));
    if (key.find(L'\\') == std::wstring::npos || !is_empty_key(hive, key, view)) break;
    if (RegDeleteKeyExW(hive, key.c_str(), view, 0) != ERROR_SUCCESS) break;
  }
  return {};
}

}  // namespace qlx::host_register
