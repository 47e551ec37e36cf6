#include <windows.h>

#include <shellapi.h>

#include "browsers.h"
#include "platform/error.h"
#include "platform/utf16_windows.h"
#include "registry_windows.h"

namespace qlx::host_register {
namespace {

struct Browser {
  std::string_view name;
  std::string_view vendor_key;  // below HKEY_CURRENT_USER\Software (HKEY_LOCAL_MACHINE\SOFTWARE)
  std::string_view policy_key;  // below SOFTWARE\Policies; empty: the browser reads none
};

// Each browser reads the user's hosts from the key
// HKCU\Software\<vendor path>\NativeMessagingHosts\<host name>, whose default
// value is the manifest's full path, and the machine's from the same key
// under HKLM\SOFTWARE (the 64-bit view).
constexpr Browser kBrowsers[] = {
    {"Google Chrome", "Google\\Chrome", "Google\\Chrome"},
    {"Chromium", "Chromium", "Chromium"},
    {"Microsoft Edge", "Microsoft\\Edge", "Microsoft\\Edge"},
    {"Brave", "BraveSoftware\\Brave-Browser", "BraveSoftware\\Brave"},
    {"Vivaldi", "Vivaldi", ""},
    {"Opera", "Opera Software", ""},
};

// Firefox reads HKCU\Software\Mozilla\NativeMessagingHosts\<host name> the same way.
constexpr std::string_view kFirefoxVendorKey = "Mozilla";

/// The hive of the target's scope; the machine's keys in the 64-bit view.
HKEY hive_of(const BrowserTarget& target) {
  return target.scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
constexpr REGSAM kView = KEY_WOW64_64KEY;

/// Whether the key exists and holds neither subkeys nor values.
bool is_empty_key(HKEY hive, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | kView, &opened) != ERROR_SUCCESS) {
    return false;
  }
  const NativeHandle held = hold_key(opened);
  DWORD subkeys = 1;
  DWORD values = 1;
  return RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
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
  const std::string hive = scope == Scope::kMachine ? "HKLM\\" : "HKCU\\";
  auto add = [&](std::string_view name, BrowserFamily family, std::string_view vendor_key,
                 std::string_view policy_key) {
    BrowserTarget target;
    target.browser = name;
    target.family = family;
    target.scope = scope;
    target.key =
        software + std::string(vendor_key) + "\\NativeMessagingHosts\\" + std::string(kHostName);
    target.location = hive + target.key;
    target.policy_place = policy_key;
    targets.push_back(std::move(target));
  };
  for (const Browser& browser : kBrowsers) {
    add(browser.name, BrowserFamily::kChromium, browser.vendor_key, browser.policy_key);
  }
  add("Firefox", BrowserFamily::kFirefox, kFirefoxVendorKey, "");
  return targets;
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
  const LSTATUS status = RegOpenKeyExW(hive_of(target), utf8_to_utf16(software).c_str(), 0,
                                       KEY_CREATE_SUB_KEY | KEY_SET_VALUE | kView, &opened);
  if (status != ERROR_SUCCESS) {
    return fail("cannot write " + target.location.substr(0, target.location.find('\\') + 1) +
                software + ": " + system_failure(status).text);
  }
  const NativeHandle held = hold_key(opened);
  return {};
}

Result<void> register_with(const BrowserTarget& target, const Installation& installation) {
  HKEY opened = nullptr;
  LSTATUS status =
      RegCreateKeyExW(hive_of(target), utf8_to_utf16(target.key).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | kView, nullptr, &opened, nullptr);
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
                                 KEY_QUERY_VALUE | kView, &opened);
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
  std::wstring key = utf8_to_utf16(target.key);
  const LSTATUS status = RegDeleteKeyExW(hive, key.c_str(), kView, 0);
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  // Up to, not including, the hive's software key.
  for (;;) {
    key.resize(key.rfind(L'\\'));
    if (key.find(L'\\') == std::wstring::npos || !is_empty_key(hive, key)) break;
    if (RegDeleteKeyExW(hive, key.c_str(), kView, 0) != ERROR_SUCCESS) break;
  }
  return {};
}

}  // namespace qlx::host_register
