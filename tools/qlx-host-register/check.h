#pragma once

// qlx-host-register --check: follows each browser's registration the way the
// browser does (registration, manifest, host executable), starts the host as
// the browser would and pings it, and tries the data directory.  One line per
// browser:
//
//   <browser>: ok: <manifest> starts <host>
//   <browser>: not registered: <finding>; browser error: "<text>"; fix: <what to do>
//   <browser>: FAIL: <finding>; browser error: "<text>"; fix: <what to do>
//   <browser>: FAIL: <finding>; browser error: none, <what goes wrong instead>; fix: <what to do>
//
// "<text>" is the one of Chromium's three messages that the fault leads to;
// Firefox reports the same faults in its own words.  The platform parts
// (check_posix.cpp, check_windows.cpp) say how a browser starts a host there.

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browsers.h"
#include "platform/fs.h"

namespace qlx::host_register {

/// Checks every target and writes one line per target to `out`.  Returns the
/// exit code: 0 when at least one browser is registered and every registered
/// one passes, otherwise 1.
int check_browsers(std::span<const BrowserTarget> targets, std::ostream& out);

/// Whether `path` is a file that this system would start as a program.
bool is_executable_file(const Path& path);

/// The arguments after the program's name with which a browser of `family`
/// starts a host for `caller` (an origin "chrome-extension://<id>/" or an
/// add-on id), registered through the manifest at `manifest`.
std::vector<std::string> browser_arguments(BrowserFamily family, const Path& manifest,
                                           std::string_view caller);

}  // namespace qlx::host_register
