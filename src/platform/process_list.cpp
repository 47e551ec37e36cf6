#include <charconv>

#include "platform/process_list.h"

namespace qlx {
namespace {

bool parse_u32(std::string_view text, std::uint32_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<ProcessEntry> parse_proc_stat(std::string_view text) {
  const auto open = text.find('(');
  const auto close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  ProcessEntry entry;
  std::string_view id = text.substr(0, open);
  while (!id.empty() && id.back() == ' ') id.remove_suffix(1);
  if (!parse_u32(id, entry.id)) return std::nullopt;
  entry.name = std::string(text.substr(open + 1, close - open - 1));
  // After the name: " <state> <ppid> ".
  std::string_view rest = text.substr(close + 1);
  if (rest.size() < 3 || rest[0] != ' ' || rest[2] != ' ') return std::nullopt;
  rest.remove_prefix(3);
  const auto end = rest.find(' ');
  if (!parse_u32(rest.substr(0, end), entry.parent_id)) return std::nullopt;
  return entry;
}

}  // namespace qlx
