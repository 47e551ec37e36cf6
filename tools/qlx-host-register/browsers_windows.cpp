#include <windows.h>

#include <shellapi.h>

#include "browsers.h"
#include "platform/error.h"
#include "platform/native_handle.h"
#include "platform/utf16_windows.h"

namespace qlx::host_register {
namespace {

struct Browser {
  std::string_view name;
  std::string_view vendor_key;  // below HKEY_CURRENT_USER\Software
};

// Each browser reads the user's hosts from the key
// HKCU\Software\<vendor path>\NativeMessagingHosts\<host name>, whose default
// value is the manifest's full path.
constexpr Browser kBrowsers[] = {
    {"Google Chrome", "Google\\Chrome"},
    {"Chromium", "Chromium"},
    {"Microsoft Edge", "Microsoft\\Edge"},
    {"Brave", "BraveSoftware\\Brave-Browser"},
    {"Vivaldi", "Vivaldi"},
    {"Opera", "Opera Software"},
};

// Firefox reads HKCU\Software\Mozilla\NativeMessagingHosts\<host name> the same way.
constexpr std::string_view kFirefoxVendorKey = "Mozilla";

void close_key(std::intptr_t key) {
  RegCloseKey(reinterpret_cast<HKEY>(key));
}

/// Holds an open registry key until the record goes out of scope.
NativeHandle hold_key(HKEY key) {
  return NativeHandle(reinterpret_cast<std::intptr_t>(key), close_key);
}

HKEY key_of(const NativeHandle& held) {
  return reinterpret_cast<HKEY>(held.value);
}

/// Whether the key exists and holds neither subkeys nor values.
bool is_empty_key(const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return false;
  }
  const NativeHandle held = hold_key(opened);
  DWORD subkeys = 1;
  DWORD values = 1;
  return RegQueryInfoKeyW(key_of(held), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                          &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
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

Result<std::vector<BrowserTarget>> browser_targets() {
  std::vector<BrowserTarget> targets;
  auto add = [&](std::string_view name, BrowserFamily family, std::string_view vendor_key) {
    BrowserTarget target;
    target.browser = name;
    target.family = family;
    target.key = "Software\\" + std::string(vendor_key) + "\\NativeMessagingHosts\\" +
                 std::string(kHostName);
    target.location = "HKCU\\" + target.key;
    targets.push_back(std::move(target));
  };
  for (const Browser& browser : kBrowsers) {
    add(browser.name, BrowserFamily::kChromium, browser.vendor_key);
  }
  add("Firefox", BrowserFamily::kFirefox, kFirefoxVendorKey);
  return targets;
}

Result<void> register_with(const BrowserTarget& target, const Installation& installation) {
  HKEY created = nullptr;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CURRENT_USER, utf8_to_utf16(target.key).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  const NativeHandle held = hold_key(created);
  const std::wstring& value = installation.manifest_for(target.family).path.native();
  status =
      RegSetValueExW(key_of(held), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  return {};
}

namespace {

/// The key's default value; nullopt when the key is missing.  A key without
/// a default string value is a failure.
Result<std::optional<std::wstring>> default_value(const std::string& target_key) {
  const std::wstring key = utf8_to_utf16(target_key);
  DWORD bytes = 0;
  LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                nullptr, &bytes);
  if (status == ERROR_FILE_NOT_FOUND) {
    // No default value: nothing is registered unless the key itself is there.
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    const NativeHandle held = hold_key(opened);
    return fail("the key has no default value");
  }
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                        value.data(), &bytes);
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

}  // namespace

Registration registration_at(const BrowserTarget& target, const Installation& installation) {
  auto value = default_value(target.key);
  if (!value) return Registration::kForeign;
  if (!*value) return Registration::kNone;
  return **value == installation.manifest_for(target.family).path.native() ? Registration::kOurs
                                                                           : Registration::kForeign;
}

Result<std::optional<Path>> registered_manifest(const BrowserTarget& target) {
  auto value = default_value(target.key);
  if (!value) return fail(std::move(value.error()));
  if (!*value) return std::nullopt;
  return Path(**value);
}

Result<void> unregister_from(const BrowserTarget& target) {
  std::wstring key = utf8_to_utf16(target.key);
  const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  if (status != ERROR_SUCCESS) return fail(system_failure(status));
  for (;;) {
    key.resize(key.rfind(L'\\'));
    if (key == L"Software" || !is_empty_key(key)) break;
    if (RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()) != ERROR_SUCCESS) break;
  }
  return {};
}

}  // namespace qlx::host_register
