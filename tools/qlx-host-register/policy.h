#pragma once

// The browser policies that decide whether a Chromium-family browser may
// start the host at all:
//   NativeMessagingBlocklist        hosts it must not start; "*" blocks every
//                                   host that the allowlist does not name
//   NativeMessagingAllowlist        hosts that the blocklist does not block
//   NativeMessagingUserLevelHosts   false: per-user registrations are ignored
// (and their older names NativeMessagingBlacklist and NativeMessagingWhitelist,
// which the browsers still read when the new ones are not set).  Read per
// platform: policy_posix.cpp from the managed policy JSON files of the
// browser's policy folder, policy_windows.cpp from its policy keys under HKLM
// (which win) and HKCU.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace qlx::host_register {

inline constexpr std::string_view kBlocklistPolicy = "NativeMessagingBlocklist";
inline constexpr std::string_view kAllowlistPolicy = "NativeMessagingAllowlist";
inline constexpr std::string_view kUserLevelHostsPolicy = "NativeMessagingUserLevelHosts";

/// The older name of a policy, which the browsers read while the new one is
/// unset: NativeMessagingBlacklist, NativeMessagingWhitelist; "" for none.
std::string_view legacy_policy_name(std::string_view policy);

/// One policy's value and where it is set: a file, or a key such as
/// "HKLM\SOFTWARE\Policies\Google\Chrome".
template <typename T>
struct PolicyValue {
  T value;
  std::string where;
};

/// What a browser's policies say about native messaging; unset policies are nullopt.
struct NativeMessagingPolicies {
  std::optional<PolicyValue<std::vector<std::string>>> blocklist;
  std::optional<PolicyValue<std::vector<std::string>>> allowlist;
  std::optional<PolicyValue<bool>> user_level_hosts;
};

/// The policies set at `place`, the browser's policy folder (POSIX, taken
/// under `root`) or key below SOFTWARE\Policies (Windows, `root` unused).
/// What cannot be read or has the wrong type counts as unset, as in the browser.
NativeMessagingPolicies read_policies(std::string_view place, const Path& root);

/// Why the policies keep the browser from starting the host, if they do.
enum class PolicyBlock {
  kNone,
  kAllHosts,  // the blocklist holds "*" and the allowlist does not name the host
  kByName,    // the blocklist names the host and the allowlist does not
};
PolicyBlock policy_block(const NativeMessagingPolicies& policies);

/// Whether the browser reads per-user registrations (the policy is not false).
bool reads_user_level_hosts(const NativeMessagingPolicies& policies);

}  // namespace qlx::host_register
