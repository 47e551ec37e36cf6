#include "check_report.h"

#include <algorithm>

namespace qlx::host_register {
namespace {

std::string_view error_text(BrowserError error) {
  switch (error) {
    case BrowserError::kNotFound:
      return "\"Specified native messaging host not found.\"";
    case BrowserError::kForbidden:
      return "\"Access to the specified native messaging host is forbidden.\"";
    case BrowserError::kCommunication:
      return "\"Error when communicating with the native messaging host.\"";
    case BrowserError::kNone:
      break;
  }
  return "none";
}

}  // namespace

std::string report_line(const BrowserReport& report) {
  std::string scope;
  if (!report.place.empty()) {
    scope = " (" + report.place + (report.ahead_of.empty() ? "" : ", ahead of " + report.ahead_of) +
            ")";
  }
  const std::string browser = report.browser + (report.installed ? "" : " (not installed)");
  if (!report.fault) return browser + ": ok" + scope + ": " + report.reached;
  return browser + ": " + (report.registered ? "FAIL" + scope : "not registered") + ": " +
         report.fault->finding +
         "; browser error: " + std::string(error_text(report.fault->error)) +
         "; fix: " + report.fault->fix;
}

std::string sandbox_line(std::string_view browser, const SandboxInstall& sandbox) {
  const std::string name(browser);
  return name + ": in " + sandbox.sandbox + " at " + sandbox.where +
         ": a sandboxed browser may be unable to start a native host outside the sandbox; fix: "
         "use your distribution's own package of " +
         name + ", or the browser vendor's package";
}

std::string not_installed_line(std::span<const std::string> browsers) {
  return "not installed: " + joined_names(browsers);
}

int report_exit_code(std::span<const BrowserReport> reports) {
  const bool any_registered =
      std::ranges::any_of(reports, [](const BrowserReport& r) { return r.registered; });
  const bool any_failed = std::ranges::any_of(
      reports, [](const BrowserReport& r) { return r.registered && r.fault.has_value(); });
  return any_registered && !any_failed ? 0 : 1;
}

std::string shown(std::string_view bytes, std::size_t limit) {
  std::string text(bytes.substr(0, limit));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  if (bytes.size() > limit) text += "...";
  return text;
}

std::string register_command(BrowserFamily family) {
  return family == BrowserFamily::kFirefox
             ? "run qlx-host-register --firefox-extension ID (your add-on's id)"
             : "run qlx-host-register";
}

std::string system_command(BrowserFamily family) {
  return std::string(family == BrowserFamily::kFirefox
                         ? "run qlx-host-register --system --firefox-extension ID"
                         : "run qlx-host-register --system") +
         " " + std::string(system_rights_advice());
}

}  // namespace qlx::host_register
