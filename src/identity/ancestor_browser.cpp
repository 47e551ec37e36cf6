#include "identity/ancestor_browser.h"

#include <array>
#include <string>
#include <unordered_map>
#include <utility>

namespace qlx {
namespace {

using enum BrowserKey;

constexpr std::array<std::pair<std::string_view, BrowserKey>, 13> kExecutables{{
    {"brave", kBrave},
    {"brave.exe", kBrave},
    {"msedge", kEdge},
    {"msedge.exe", kEdge},
    {"vivaldi", kVivaldi},
    {"vivaldi.exe", kVivaldi},
    {"opera", kOpera},
    {"opera.exe", kOpera},
    {"opera_gx.exe", kOpera},
    {"chrome", kChrome},
    {"chrome.exe", kChrome},
    {"chromium", kChrome},
    {"chromium.exe", kChrome},
}};

struct ProcessInfo {
  std::uint32_t parent_id;
  std::string_view name;
};

}  // namespace

std::optional<BrowserKey> browser_of_executable(std::string_view name) {
  const std::string normalized = normalize_browser_name(name);
  for (const auto& [executable, key] : kExecutables) {
    if (normalized == executable) return key;
  }
  return std::nullopt;
}

std::optional<BrowserKey> ancestor_browser(std::uint32_t self,
                                           std::span<const ProcessEntry> processes) {
  std::unordered_map<std::uint32_t, ProcessInfo> table;
  table.reserve(processes.size());
  for (const ProcessEntry& entry : processes) {
    table.insert_or_assign(entry.id, ProcessInfo{entry.parent_id, entry.name});
  }
  std::uint32_t current = self;
  for (int level = 1; level <= kAncestorLevels; ++level) {
    const auto process = table.find(current);
    if (process == table.end()) return std::nullopt;
    const std::uint32_t parent_id = process->second.parent_id;
    const auto parent = table.find(parent_id);
    if (parent == table.end()) return std::nullopt;  // the parent has exited
    if (auto key = browser_of_executable(parent->second.name)) return key;
    if (parent_id == 0 || parent_id == current) return std::nullopt;
    current = parent_id;
  }
  return std::nullopt;
}

std::optional<BrowserKey> detect_ancestor_browser() {
  // The host itself and its eight ancestors.
  const auto processes = list_processes(kAncestorLevels + 1);
  return ancestor_browser(current_process_id(), processes);
}

}  // namespace qlx
