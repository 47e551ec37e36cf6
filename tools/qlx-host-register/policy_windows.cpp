#include <windows.h>

#include <algorithm>

#include "platform/utf16_windows.h"
#include "policy.h"
#include "registry_windows.h"

namespace qlx::host_register {
namespace {

struct PolicyRoot {
  HKEY key;
  std::string_view name;
};

// A machine's policy wins over the user's.
const PolicyRoot kPolicyRoots[] = {{HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_CURRENT_USER, "HKCU"}};

/// A list policy: the string values of the subkey `name` (named 1, 2, 3...),
/// in the order of their numbers; nullopt when the subkey is missing.
std::optional<std::vector<std::string>> read_list(HKEY root, const std::wstring& key,
                                                  std::string_view name) {
  HKEY opened = nullptr;
  const std::wstring subkey = key + L"\\" + utf8_to_utf16(name);
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const NativeHandle held = hold_key(opened);
  std::vector<std::pair<unsigned long, std::string>> numbered;
  for (DWORD index = 0;; ++index) {
    wchar_t value_name[64];
    DWORD name_size = 64;
    DWORD type = 0;
    wchar_t data[1024];
    DWORD data_size = sizeof data - sizeof(wchar_t);
    const LSTATUS status = RegEnumValueW(opened, index, value_name, &name_size, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &data_size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    data[data_size / sizeof(wchar_t)] = L'\0';
    wchar_t* end = nullptr;
    const unsigned long number = wcstoul(value_name, &end, 10);
    if (end == value_name || *end != L'\0') continue;
    numbered.emplace_back(number, utf16_to_utf8(data));
  }
  std::ranges::sort(numbered);
  std::vector<std::string> names;
  for (auto& [number, text] : numbered) names.push_back(std::move(text));
  return names;
}

/// A boolean policy: the DWORD value `name` of the key; nullopt when it is missing.
std::optional<bool> read_flag(HKEY root, const std::wstring& key, std::string_view name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const NativeHandle held = hold_key(opened);
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(opened, utf8_to_utf16(name).c_str(), nullptr, &type,
                                          reinterpret_cast<BYTE*>(&value), &size);
  if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value != 0;
}

}  // namespace

NativeMessagingPolicies read_policies(std::string_view place, const Path&) {
  NativeMessagingPolicies policies;
  if (place.empty()) return policies;
  const std::string relative = "SOFTWARE\\Policies\\" + std::string(place);
  const std::wstring key = utf8_to_utf16(relative);
  auto take_list = [&](std::string_view name,
                       std::optional<PolicyValue<std::vector<std::string>>>& into) {
    for (const PolicyRoot& root : kPolicyRoots) {
      for (std::string_view subkey : {name, legacy_policy_name(name)}) {
        if (into || subkey.empty()) continue;
        if (auto names = read_list(root.key, key, subkey)) {
          into = PolicyValue<std::vector<std::string>>{std::move(*names),
                                                       std::string(root.name) + "\\" + relative};
        }
      }
    }
  };
  take_list(kBlocklistPolicy, policies.blocklist);
  take_list(kAllowlistPolicy, policies.allowlist);
  for (const PolicyRoot& root : kPolicyRoots) {
    if (policies.user_level_hosts) break;
    if (auto flag = read_flag(root.key, key, kUserLevelHostsPolicy)) {
      policies.user_level_hosts =
          PolicyValue<bool>{*flag, std::string(root.name) + "\\" + relative};
    }
  }
  return policies;
}

}  // namespace qlx::host_register
