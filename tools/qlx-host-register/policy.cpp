#include "policy.h"

#include <algorithm>

#include "base/names.h"

namespace qlx::host_register {
namespace {

bool lists(const std::optional<PolicyValue<std::vector<std::string>>>& list,
           std::string_view name) {
  return list && std::ranges::find(list->value, name) != list->value.end();
}

}  // namespace

std::string_view legacy_policy_name(std::string_view policy) {
  if (policy == kBlocklistPolicy) return "NativeMessagingBlacklist";
  if (policy == kAllowlistPolicy) return "NativeMessagingWhitelist";
  return "";
}

PolicyBlock policy_block(const NativeMessagingPolicies& policies) {
  if (lists(policies.allowlist, kHostName)) return PolicyBlock::kNone;
  if (lists(policies.blocklist, kHostName)) return PolicyBlock::kByName;
  if (lists(policies.blocklist, "*")) return PolicyBlock::kAllHosts;
  return PolicyBlock::kNone;
}

bool reads_user_level_hosts(const NativeMessagingPolicies& policies) {
  return !policies.user_level_hosts || policies.user_level_hosts->value;
}

}  // namespace qlx::host_register
