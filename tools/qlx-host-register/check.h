#pragma once

// qlx-host-register --check: follows each browser's registration the way the
// browser does (registration, manifest, host executable), starts the host as
// the browser would and pings it, and tries the data directory.  One line per
// browser that is installed or has a registration, the ones in a sandbox
// followed by a line per sandbox, then one line for all the others:
//
//   <browser>: ok (<place>): <manifest> starts <host>
//   <browser>: ok (<place>): <manifest> starts <host>, version <its version> (this tool is
//   <version>) <browser>: not registered: <finding>; browser error: "<text>"; fix: <what to do>
//   <browser>: FAIL (<place>): <finding>; browser error: "<text>"; fix: <what to do>
//   <browser>: FAIL (<place>): <finding>; browser error: none, <what goes wrong instead>; fix:
//   <what to do> <browser>: in a Snap at <folder>: a sandboxed browser may be unable to start ...
//   not installed: <browser>, <browser>, ...
//
// <place> is the registration that the browser follows ("per user", "per
// machine", "per machine, 32-bit view"), with the one that it hides behind
// it ("per user, ahead of per machine").  A browser that has a registration
// but was not found installed is "<browser> (not installed)".
// "<text>" is the one of Chromium's three messages that the fault leads to;
// Firefox reports the same faults in its own words.
//
// One job per file: this walk through each browser's registration
// (check.cpp), the report's lines (check_report.h), the ping probe
// (check_ping.h, with check_ping_<platform>.cpp for how a browser starts a
// host there) and the data-directory probe (check_data_dir.h).

#include <ostream>
#include <span>

#include "browsers.h"
#include "platform/fs.h"

namespace qlx::host_register {

/// Checks every browser of `user` (the per-user places, in their order) and
/// writes its lines to `out`.  A browser's per-machine places, if it has
/// any, are the ones of `machine` with its name, in the order in which it
/// reads them; the per-user registration comes first, as in the browsers,
/// unless the browser's policies turn per-user hosts off, and policies that
/// block the host are faults.  `presence` tells which browsers are
/// installed.  Under `root` (POSIX; empty: none) lie the per-machine
/// registrations, the policy files and the hosts that per-machine manifests
/// name.  Returns the exit code: 0 when at least one browser is registered
/// and every registered one passes, otherwise 1.
int check_browsers(std::span<const BrowserTarget> user, std::span<const BrowserTarget> machine,
                   std::span<const BrowserPresence> presence, const Path& root, std::ostream& out);

/// Whether `path` is a file that this system would start as a program.
bool is_executable_file(const Path& path);

}  // namespace qlx::host_register
