#include "support/messages.h"

#include "base/names.h"
#include "host/version.h"

namespace qlx::testing_support {

std::string ping_reply() {
  return std::string(R"({"host":")") + std::string(kHostName) + R"(","ok":true,"version":")" +
         std::string(kHostVersion) + R"("})";
}

std::string error_reply(std::string_view text) {
  return R"({"error":")" + std::string(text) + R"(","ok":false})";
}

std::string begin_message(std::string_view id, std::string_view more) {
  return R"({"type":"blob_begin","transfer_id":")" + std::string(id) + "\"" + std::string(more) +
         "}";
}

std::string chunk_message(std::string_view id, std::string_view base64) {
  return R"({"type":"blob_chunk","transfer_id":")" + std::string(id) + R"(","data_base64":")" +
         std::string(base64) + "\"}";
}

std::string end_message(std::string_view id, std::string_view more) {
  return R"({"type":"blob_end","transfer_id":")" + std::string(id) + "\"" + std::string(more) + "}";
}

std::string begun_reply(std::string_view id) {
  return R"({"ok":true,"transfer_id":")" + std::string(id) + "\"}";
}

std::string received_reply(std::uint64_t bytes) {
  return R"({"ok":true,"received":)" + std::to_string(bytes) + "}";
}

}  // namespace qlx::testing_support
