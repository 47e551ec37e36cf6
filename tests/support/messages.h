#pragma once

// The messages tests send to the host and the replies they expect, written
// out as the browser sees them (compact, members in byte order).  The texts
// passed in hold nothing that JSON must escape.

#include <cstdint>
#include <string>
#include <string_view>

namespace qlx::testing_support {

/// {"type":"ping"}
inline constexpr std::string_view kPing = R"({"type":"ping"})";

/// The reply to every ping: {"host":"com.velmont.qlx","ok":true,"version":"<this build's>"}.
std::string ping_reply();

/// {"error":"Unknown message type","ok":false}
inline constexpr std::string_view kUnknownTypeReply =
    R"({"error":"Unknown message type","ok":false})";

/// {"error":"<text>","ok":false}
std::string error_reply(std::string_view text);

/// {"type":"blob_begin","transfer_id":"<id>"<more>}: `more` holds further
/// members, each led by a comma.
std::string begin_message(std::string_view id, std::string_view more = "");

/// {"type":"blob_chunk","transfer_id":"<id>","data_base64":"<base64>"}
std::string chunk_message(std::string_view id, std::string_view base64);

/// {"type":"blob_end","transfer_id":"<id>"<more>}
std::string end_message(std::string_view id, std::string_view more = "");

/// {"ok":true,"transfer_id":"<id>"}: the reply to a blob_begin.
std::string begun_reply(std::string_view id);

/// {"ok":true,"received":<bytes>}: the reply to a blob_chunk.
std::string received_reply(std::uint64_t bytes);

}  // namespace qlx::testing_support
