#pragma once

// Where qlx-host-register --check finds a browser's registration, for the
// check tests: a scratch HOME on POSIX; the user's registry on Windows (under
// Wine, the build tree's own prefix), whose keys the tests remove again.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

/// A host that the system cannot start: a file without execute permission on
/// POSIX, a folder on Windows (which has no execute permission).
Path unstartable_host(const Path& install);

/// Whether hosts can be made of shell scripts here (POSIX: yes; Windows: no).
extern const bool kHasScriptHosts;

/// A host made of the shell script `body`; only where kHasScriptHosts.
Path script_host(const Path& install, std::string_view body);

/// The environment for the tool: HOME (POSIX) and the local application-data folder.
std::vector<EnvChange> check_env(const Path& home, const Path& local_app_data);

/// Takes back every registration that place_manifest() made (Windows: the keys).
void remove_registrations();

}  // namespace qlx::testing_support
