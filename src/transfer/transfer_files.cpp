#include "transfer/transfer_files.h"

#include "base/member.h"
#include "store/data_dir.h"

namespace qlx {
namespace {

bool is_transfer_id_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

Result<Path> transfer_file_path(std::string_view transfer_id, std::string_view suffix) {
  auto dir = browser_transfers_dir();
  if (!dir) return dir;
  std::string name(transfer_id);
  name += suffix;
  return *dir / name;
}

}  // namespace

Result<std::string> validate_transfer_id(std::string_view text) {
  // Bytes outside ASCII (any non-ASCII character) fail the character test.
  if (text.size() < 8 || text.size() > 80) return fail("invalid browser transfer id");
  for (const char c : text) {
    if (!is_transfer_id_char(c)) return fail("invalid browser transfer id");
  }
  return std::string(text);
}

Result<Path> partial_file_path(std::string_view transfer_id) {
  return transfer_file_path(transfer_id, ".part");
}

Result<Path> metadata_file_path(std::string_view transfer_id) {
  return transfer_file_path(transfer_id, ".json");
}

std::string_view string_member_or_empty(const Json& message, std::string_view name) {
  const std::string* text = string_member(message, name);
  return text != nullptr ? std::string_view(*text) : std::string_view();
}

Json string_member_or_null(const Json& object, std::string_view name) {
  const std::string* text = string_member(object, name);
  return text != nullptr ? Json(*text) : Json(nullptr);
}

std::optional<std::uint64_t> size_member(const Json& object, std::string_view name) {
  if (!object.is_object()) return std::nullopt;
  const auto member = object.find(name);
  if (member == object.end()) return std::nullopt;
  if (member->is_number_unsigned()) return member->get<std::uint64_t>();
  // "-0" is read as a signed integer; it is still the integer 0.
  if (member->is_number_integer() && member->get<std::int64_t>() >= 0) {
    return static_cast<std::uint64_t>(member->get<std::int64_t>());
  }
  return std::nullopt;
}

}  // namespace qlx
