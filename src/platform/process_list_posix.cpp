#include <unistd.h>

#include <string>

#include "platform/fs.h"
#include "platform/process_list.h"

namespace qlx {

std::uint32_t current_process_id() {
  return static_cast<std::uint32_t>(::getpid());
}

std::vector<ProcessEntry> list_processes(std::size_t chain_length) {
  // Only the chain above this process: the walk needs nothing else, and
  // reading every process would make start-up cost grow with the system.
  std::vector<ProcessEntry> chain;
  std::uint32_t id = current_process_id();
  while (chain.size() < chain_length) {
    auto text = read_file(Path("/proc/" + std::to_string(id) + "/stat"));
    if (!text) break;
    auto entry = parse_proc_stat(*text);
    if (!entry || entry->id != id) break;
    const std::uint32_t parent = entry->parent_id;
    chain.push_back(std::move(*entry));
    if (parent == 0 || parent == id) break;
    id = parent;
  }
  return chain;
}

}  // namespace qlx
