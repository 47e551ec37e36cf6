#pragma once

// Private to the Windows platform files: waiting out a file that another
// program holds (see held_file.h).

#include <windows.h>

#include "platform/held_file.h"

namespace qlx {

/// True for the errors of a file that another program holds right now: its
/// share mode refuses ours (ERROR_SHARING_VIOLATION), or a range of it is
/// locked (ERROR_LOCK_VIOLATION).
bool is_held_error(DWORD code);

/// Called after attempt `round` (from 0) failed with `code`: when the file is
/// held and `when` is kWaitBriefly, pauses before the next attempt and returns
/// true, until the pauses (10 ms, doubling, at most 250 ms) add up to 1 s.
bool pause_while_held(WhenHeld when, DWORD code, int& round);

/// Runs `attempt` (one system call; it returns ERROR_SUCCESS or the call's
/// error code) again while the file is held and the brief wait lasts.
/// Returns the code of the last attempt.
template <typename Attempt>
DWORD retry_while_held(WhenHeld when, Attempt attempt) {
  int round = 0;
  DWORD code;
  while ((code = attempt()) != ERROR_SUCCESS && pause_while_held(when, code, round)) {
  }
  return code;
}

}  // namespace qlx
