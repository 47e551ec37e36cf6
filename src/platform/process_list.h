#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlx {

/// One process as the system lists it.
struct ProcessEntry {
  std::uint32_t id = 0;
  std::uint32_t parent_id = 0;
  std::string name;  // the executable's file name (not a path), UTF-8
};

/// The calling process's id.
std::uint32_t current_process_id();

/// The processes that a walk up from the calling process may need, in the
/// order the system reports them; empty when they cannot be listed.
/// Windows: one Toolhelp snapshot of every process (names converted from
/// UTF-16, unpaired surrogates as U+FFFD).  Linux: the calling process and its
/// ancestors, nearest first, at most `chain_length` entries, each read from
/// /proc/<pid>/stat; the chain stops at a process that cannot be read (it
/// exited), at parent id 0 and at a process that is its own parent.
std::vector<ProcessEntry> list_processes(std::size_t chain_length);

/// Parses the content of a Linux /proc/<pid>/stat file: "<pid> (<comm>) <state>
/// <ppid> ...".  The name may hold ")" and spaces, so it runs from the first
/// "(" to the last ")".
std::optional<ProcessEntry> parse_proc_stat(std::string_view text);

}  // namespace qlx
