#include <algorithm>
#include <system_error>

#include "base/json.h"
#include "policy.h"

namespace qlx::host_register {
namespace {

/// The most of one policy file that is read: policy files are small.
constexpr std::uint64_t kMaxPolicyFile = 1024 * 1024;

/// The policy `name` (or its older name) of one file when it has the right type.
const Json* policy_in(const Json& policies, std::string_view name, bool (Json::*is_type)() const) {
  for (std::string_view key : {name, legacy_policy_name(name)}) {
    if (key.empty()) continue;
    const auto found = policies.find(std::string(key));
    if (found != policies.end() && ((*found).*is_type)()) return &*found;
  }
  return nullptr;
}

}  // namespace

NativeMessagingPolicies read_policies(std::string_view place, const Path& root) {
  NativeMessagingPolicies policies;
  if (place.empty()) return policies;
  const Path folder = root / Path(place).relative_path();
  // Every file of the folder is read, whatever its name, in the order of
  // their names; where two set the same policy, the later file wins, as in
  // the browser.
  std::vector<Path> files;
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator(folder, failed)) {
    if (entry.is_regular_file(failed)) files.push_back(entry.path());
  }
  std::ranges::sort(files);
  for (const Path& file : files) {
    auto text = read_file_up_to(file, kMaxPolicyFile);
    if (!text || !*text) continue;
    auto parsed = parse_json(**text);
    if (!parsed || !parsed->is_object()) continue;
    const std::string where = path_to_utf8(file);
    auto take_list = [&](std::string_view name,
                         std::optional<PolicyValue<std::vector<std::string>>>& into) {
      const Json* list = policy_in(*parsed, name, &Json::is_array);
      if (list == nullptr) return;
      std::vector<std::string> names;
      for (const Json& item : *list) {
        if (item.is_string()) names.push_back(item.get<std::string>());
      }
      into = PolicyValue<std::vector<std::string>>{std::move(names), where};
    };
    take_list(kBlocklistPolicy, policies.blocklist);
    take_list(kAllowlistPolicy, policies.allowlist);
    if (const Json* flag = policy_in(*parsed, kUserLevelHostsPolicy, &Json::is_boolean)) {
      policies.user_level_hosts = PolicyValue<bool>{flag->get<bool>(), where};
    }
  }
  return policies;
}

}  // namespace qlx::host_register
