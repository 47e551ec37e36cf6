#pragma once

// The lines of qlx-host-register --check (check.h): what a fault is, which of
// Chromium's messages it leads to, and how one browser's finding is written.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "browsers.h"
#include "manifest.h"

namespace qlx::host_register {

/// Which of Chromium's messages a fault leads to.
enum class BrowserError { kNone, kNotFound, kForbidden, kCommunication };

/// Why a browser cannot use the host.
struct Fault {
  std::string finding;
  BrowserError error = BrowserError::kNone;
  std::string fix;
};

/// What --check found for one browser.
struct BrowserReport {
  std::string browser;      // "Google Chrome"
  bool installed = true;    // browser_presence() found it
  bool registered = false;  // the browser has a registration at all, sound or not
  /// The registration that the browser uses, when it has one, as
  /// scope_label() writes it: "per user", "per machine, 32-bit view"...
  std::string place;
  /// The registration that it hides, when there is one behind it: "per
  /// machine", "the 64-bit view".
  std::string ahead_of;
  std::string reached;  // without a fault: "<manifest> starts <host>..."
  std::optional<Fault> fault;
};

/// The report's line for one browser, without the end of line.
std::string report_line(const BrowserReport& report);

/// The line for a browser installed in a sandbox, without the end of line.
std::string sandbox_line(std::string_view browser, const SandboxInstall& sandbox);

/// The line that lists the browsers that were not found, without the end of line.
std::string not_installed_line(std::span<const std::string> browsers);

/// 0 when at least one browser is registered and every registered one
/// passes, otherwise 1.
int report_exit_code(std::span<const BrowserReport> reports);

/// At most `limit` bytes of `bytes`, with control bytes shown as "?": for
/// quoting what a host or a file holds.
std::string shown(std::string_view bytes, std::size_t limit = 200);

/// The command that registers the host for a browser of `family`.
std::string register_command(BrowserFamily family);

/// The command that registers the host per machine for a browser of
/// `family`, with the rights that it needs.
std::string system_command(BrowserFamily family);

}  // namespace qlx::host_register
