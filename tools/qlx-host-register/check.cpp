#include "check.h"

#include <vector>

#include "check_data_dir.h"
#include "check_ping.h"
#include "check_report.h"
#include "host/version.h"

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
  auto facts = accepted_manifest(family, *parsed);
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

/// Follows the registration of one browser the way the browser does, step
/// by step; the first fault found makes its report.  `data` is the data
/// directory's fault, the same for every browser.
BrowserReport check_browser(const BrowserTarget& target, const std::optional<Fault>& data) {
  BrowserReport report;
  report.browser = target.browser;
  auto manifest = find_registration(target, report.registered);
  if (!manifest) {
    report.fault = std::move(manifest.error());
    return report;
  }
  auto facts = read_manifest(target.family, *manifest);
  if (!facts) {
    report.fault = std::move(facts.error());
    return report;
  }
  if (auto fault = check_host_file(facts->host)) {
    report.fault = std::move(fault);
    return report;
  }
  auto version = ping_host(target.family, *manifest, *facts);
  if (!version) {
    report.fault = std::move(version.error());
    return report;
  }
  if (data) {
    report.fault = data;
    return report;
  }
  report.reached = path_to_utf8(*manifest) + " starts " + path_to_utf8(facts->host);
  return report;
}

}  // namespace

int check_browsers(std::span<const BrowserTarget> targets, std::ostream& out) {
  const std::optional<Fault> data = check_data_dir();
  std::vector<BrowserReport> reports;
  for (const BrowserTarget& target : targets) {
    reports.push_back(check_browser(target, data));
    out << report_line(reports.back()) << "\n";
  }
  out.flush();
  return report_exit_code(reports);
}

}  // namespace qlx::host_register
