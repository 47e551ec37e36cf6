#include "check.h"

#include <vector>

#include "check_data_dir.h"
#include "check_ping.h"
#include "check_report.h"
#include "host/version.h"
#include "policy.h"

namespace qlx::host_register {
namespace {

/// The manifest that the browser of `target` reads, or the fault that keeps
/// it from one.  `registered` is set when the browser has a registration at all.
std::expected<Path, Fault> find_registration(const BrowserTarget& target, bool& registered) {
  auto manifest = registered_manifest(target);
  registered = !manifest || manifest->has_value();
  if (!manifest) {
    return std::unexpected(
        Fault{"the registration " + target.location + " is broken: " + manifest.error().text,
              BrowserError::kNotFound, register_command(target.family)});
  }
  if (!*manifest) {
    return std::unexpected(Fault{"nothing is registered at " + target.location,
                                 BrowserError::kNotFound, register_command(target.family)});
  }
  return **manifest;
}

/// What the browser takes from the manifest at `manifest`, or why it refuses it.
std::expected<ManifestFacts, Fault> read_manifest(BrowserFamily family, const Path& manifest) {
  const std::string where = "the manifest " + path_to_utf8(manifest) + " ";
  const std::string rewrite = register_command(family) + " to rewrite it";
  auto text = read_file(manifest);
  if (!text) {
    return std::unexpected(
        Fault{where + "cannot be read: " + text.error().text, BrowserError::kNotFound, rewrite});
  }
  auto parsed = parse_manifest(family, *text);
  if (!parsed) {
    return std::unexpected(Fault{where + parsed.error().text, BrowserError::kNotFound, rewrite});
  }
  auto facts = accepted_manifest(family, *parsed, manifest);
  if (!facts && facts.error().kind == ManifestRefusal::Kind::kNoneAllowed) {
    return std::unexpected(Fault{where + facts.error().finding, BrowserError::kForbidden,
                                 register_command(family) + " naming your extension"});
  }
  if (!facts) {
    return std::unexpected(Fault{where + facts.error().finding, BrowserError::kNotFound, rewrite});
  }
  return *facts;
}

/// Whether the host that the manifest names is there to be started.
std::optional<Fault> check_host_file(const Path& host) {
  const std::string text = path_to_utf8(host);
  if (!path_exists(host)) {
    return Fault{"the host " + text + " does not exist", BrowserError::kNotFound,
                 "reinstall QLX, or run qlx-host-register --host PATH with the host's path"};
  }
  if (!is_executable_file(host)) {
    return Fault{"the host " + text + " is not an executable file", BrowserError::kCommunication,
                 "reinstall QLX, or make it an executable file (chmod +x on Linux)"};
  }
  return std::nullopt;
}

/// `path` as a program inside `root` sees it: links to absolute paths are
/// followed inside `root` (a package unpacked there links its own files).
Path inside_root(const Path& root, Path path) {
  if (root.empty()) return path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code failed;
    if (!std::filesystem::is_symlink(path, failed)) break;
    const Path target = std::filesystem::read_symlink(path, failed);
    if (failed) break;
    path = target.is_absolute() ? root / target.relative_path() : path.parent_path() / target;
  }
  return path;
}

/// The fault that the browser's policies make of a registration, if any.
std::optional<Fault> policy_fault(const NativeMessagingPolicies& policies) {
  const std::string host(kHostName);
  switch (policy_block(policies)) {
    case PolicyBlock::kNone:
      return std::nullopt;
    case PolicyBlock::kAllHosts:
      return Fault{"the policy " + std::string(kBlocklistPolicy) + " in " +
                       policies.blocklist->where + " blocks every host (\"*\") and " +
                       std::string(kAllowlistPolicy) + " does not name " + host,
                   BrowserError::kForbidden,
                   "add " + host + " to the policy " + std::string(kAllowlistPolicy)};
    case PolicyBlock::kByName:
      return Fault{"the policy " + std::string(kBlocklistPolicy) + " in " +
                       policies.blocklist->where + " names " + host,
                   BrowserError::kForbidden,
                   "remove " + host + " from the policy " + std::string(kBlocklistPolicy) +
                       ", or add it to " + std::string(kAllowlistPolicy)};
  }
  return std::nullopt;
}

/// Follows the registration of one browser the way the browser does, step
/// by step; the first fault found makes its report.  `data` is the data
/// directory's fault, the same for every browser.
BrowserReport check_browser(const BrowserTarget& user, const BrowserTarget* machine,
                            const Path& root, const std::optional<Fault>& data) {
  BrowserReport report;
  report.browser = user.browser;
  const NativeMessagingPolicies policies = read_policies(user.policy_place, root);
  // The places in the browser's order: the user's (unless a policy turns
  // them off), then the machine's.
  bool user_registered = false;
  auto manifest = find_registration(user, user_registered);
  bool machine_registered = false;
  std::expected<Path, Fault> machine_manifest = std::unexpected(Fault{});
  if (machine) machine_manifest = find_registration(*machine, machine_registered);
  const bool user_read = reads_user_level_hosts(policies);
  const BrowserTarget* chosen = nullptr;
  if (user_registered && user_read) {
    chosen = &user;
    report.hides_machine = machine_registered;
  } else if (machine_registered) {
    chosen = machine;
    manifest = std::move(machine_manifest);
  }
  if (chosen == nullptr && user_registered) {
    report.registered = true;
    report.scope = Scope::kUser;
    report.fault = Fault{"the policy " + std::string(kUserLevelHostsPolicy) + " in " +
                             policies.user_level_hosts->where + " is false, so " + user.browser +
                             " ignores the registration " + user.location,
                         BrowserError::kNotFound,
                         "register the host per machine: " + system_command(user.family)};
    return report;
  }
  if (chosen == nullptr) {
    std::string places = user.location;
    if (machine) places += " (per user) or " + machine->location + " (per machine)";
    report.fault = Fault{"nothing is registered at " + places, BrowserError::kNotFound,
                         register_command(user.family)};
    return report;
  }
  report.registered = true;
  report.scope = chosen->scope;
  if (!manifest) {
    report.fault = std::move(manifest.error());
    return report;
  }
  if (auto blocked = policy_fault(policies)) {
    report.fault = std::move(blocked);
    return report;
  }
  const bool in_root = chosen->scope == Scope::kMachine && !root.empty();
  const Path manifest_file = in_root ? inside_root(root, *manifest) : *manifest;
  auto facts = read_manifest(chosen->family, manifest_file);
  if (!facts) {
    report.fault = std::move(facts.error());
    return report;
  }
  if (in_root) facts->host = inside_root(root, root / facts->host.relative_path());
  if (auto fault = check_host_file(facts->host)) {
    report.fault = std::move(fault);
    return report;
  }
  auto version = ping_host(chosen->family, manifest_file, *facts);
  if (!version) {
    report.fault = std::move(version.error());
    return report;
  }
  if (data) {
    report.fault = data;
    return report;
  }
  report.reached = path_to_utf8(*manifest) + " starts " + path_to_utf8(facts->host);
  if (*version != kHostVersion) {
    report.reached += ", version " + *version + " (this tool is " + std::string(kHostVersion) + ")";
  }
  return report;
}

}  // namespace

int check_browsers(std::span<const BrowserTarget> user, std::span<const BrowserTarget> machine,
                   const Path& root, std::ostream& out) {
  const std::optional<Fault> data = check_data_dir();
  std::vector<BrowserReport> reports;
  for (const BrowserTarget& target : user) {
    const BrowserTarget* system = nullptr;
    for (const BrowserTarget& candidate : machine) {
      if (candidate.browser == target.browser) system = &candidate;
    }
    reports.push_back(check_browser(target, system, root, data));
    out << report_line(reports.back()) << "\n";
  }
  out.flush();
  return report_exit_code(reports);
}

}  // namespace qlx::host_register
