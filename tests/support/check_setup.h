#pragma once

// Where qlx-host-register --check finds a browser's registration, for the
// check tests: a scratch HOME on POSIX; the user's registry on Windows (under
// Wine, the build tree's own prefix), whose keys the tests remove again.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"
#include "child_process/child_process.h"
#include "platform/fs.h"

namespace qlx::testing_support {

enum class CheckedBrowser { kChrome, kFirefox };

/// The registration place of `browser` as the tool names it.
std::string registration_location(const Path& home, CheckedBrowser browser);

/// Registers the manifest `text` for `browser`: on POSIX as the file in the
/// browser's folder below `home`; on Windows as a file in `install` that the
/// browser's key names.  Returns the manifest's path as the tool reports it.
std::string place_manifest(const Path& home, const Path& install, CheckedBrowser browser,
                           std::string_view text);

/// The machine's registration place of `browser` as the tool names it
/// (POSIX: below the scratch root `root` that the tool is given with --root).
std::string machine_location(const Path& root, CheckedBrowser browser);

/// Registers the manifest `text` for `browser` per machine: on POSIX as the
/// file in the browser's system folder below `root`; on Windows as a file in
/// `install` that the browser's key under HKLM names.  Returns the manifest's
/// path as the tool reports it.
std::string place_machine_manifest(const Path& root, const Path& install, CheckedBrowser browser,
                                   std::string_view text);

/// A host for per-machine manifests: the path that the manifest names, and
/// the path that the tool starts and reports (POSIX: a copy of the real host
/// below `root`, named by its path inside `root`; Windows: the real host).
struct MachineHost {
  std::string named;
  std::string reported;
};
MachineHost machine_host(const Path& root);

/// Sets Google Chrome's machine policies to the members of `policies` (an
/// object of lists and booleans): POSIX as a managed policy file below
/// `root`, Windows as values of HKLM\SOFTWARE\Policies\Google\Chrome.
/// Returns where the tool says they are set.
std::string set_chrome_policies(const Path& root, const Json& policies);

/// The arguments that point --check at the scratch root: {"--root", root} on POSIX, none on
/// Windows.
std::vector<std::string> root_arguments(const Path& root);

/// How the tool tells to run --system with its rights here.
extern const std::string_view kSystemRightsAdvice;

/// A host that the system cannot start: a file without execute permission on
/// POSIX, a folder on Windows (which has no execute permission).
Path unstartable_host(const Path& install);

/// Whether hosts can be made of shell scripts here (POSIX: yes; Windows: no).
extern const bool kHasScriptHosts;

/// A host made of the shell script `body`; only where kHasScriptHosts.
Path script_host(const Path& install, std::string_view body);

/// The environment for the tool: HOME (POSIX) and the local application-data folder.
std::vector<EnvChange> check_env(const Path& home, const Path& local_app_data);

/// Takes back every registration and policy that the functions above made (Windows: the keys).
void remove_registrations();

}  // namespace qlx::testing_support
