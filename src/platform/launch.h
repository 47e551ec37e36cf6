#pragma once

// Starting a program that lives on by itself, apart from this process: the
// way the host starts the download manager.

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// Starts `program` with no argument (its command line is its own quoted path
/// on Windows, argv = {program} on POSIX), this process's environment and
/// working directory, and standard input, output and error on the null device.
/// No other handle or descriptor of this process reaches it.  On POSIX it gets
/// a session of its own and is left to init: it is never this process's
/// child, so nothing has to wait for it and no zombie remains.  Success once
/// the program is running (an exec or CreateProcessW failure is reported).
Result<void> launch_detached(const Path& program);

}  // namespace qlx
