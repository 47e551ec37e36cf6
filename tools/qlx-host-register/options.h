#pragma once

// qlx-host-register's command line: one parser, which main() and the tests call.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "browsers.h"
#include "platform/fs.h"

namespace qlx::host_register {

enum class Action { kRegister, kUninstall, kCheck, kHelp };
enum class Mode { kApply, kDryRun };

struct Options {
  Action action = Action::kRegister;
  Mode mode = Mode::kApply;
  std::optional<Path> host;
  std::vector<std::string> extension_ids;  // registering: the QLX extension's when none is given
  std::vector<std::string> addon_ids;      // Firefox's; none: Firefox is left alone
  /// --browser: the browsers to register with, found or not, by their full
  /// names ("Google Chrome"); none: the installed ones.
  std::vector<std::string> browsers = {};
  Scope scope = Scope::kUser;  // --system: the machine's registrations
  /// --root (POSIX): the folder that stands for "/" in every system path; empty: none.
  Path root = {};
};

/// The usage text that --help prints and every usage error follows.
extern const std::string_view kUsage;

/// Parses the arguments after the program's name (UTF-8).  A failure's text
/// is the usage error to print before kUsage (exit code 2).  --help ends the
/// parsing where it stands.
Result<Options> parse_options(std::span<const std::string> args);

}  // namespace qlx::host_register
