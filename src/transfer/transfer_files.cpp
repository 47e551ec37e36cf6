#include "transfer/transfer_files.h"

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

}  // namespace qlx
