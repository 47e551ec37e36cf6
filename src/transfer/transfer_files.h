#pragma once

// A browser transfer lives only in two files of the transfers directory, named
// after its transfer id: "<id>.part" (the bytes received so far) and
// "<id>.json" (what blob_begin announced).  The host keeps no table of open
// transfers; any host process can continue any transfer.
//
//   state          .part                    .json
//   not started    missing                  missing
//   receiving      the bytes so far         present
//   handed over    left for the manager     missing

#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/json.h"
#include "platform/fs.h"

namespace qlx {

/// The members of the transfer metadata file, written by blob_begin and read
/// back by blob_end.
inline constexpr std::string_view kContentTypeMember = "content_type";
inline constexpr std::string_view kExpectedSizeMember = "expected_size";
inline constexpr std::string_view kFilenameMember = "filename";
inline constexpr std::string_view kReferrerMember = "referrer";
inline constexpr std::string_view kSourceUrlMember = "source_url";

/// A copy of `text` when it is 8 to 80 bytes of A-Z, a-z, 0-9, "-" and "_";
/// otherwise "invalid browser transfer id".  Such an id can only name a file
/// inside the transfers directory.
Result<std::string> validate_transfer_id(std::string_view text);

/// The transfers directory joined with "<id>.part"; "No local data directory"
/// when there is none.  Creates nothing.
Result<Path> partial_file_path(std::string_view transfer_id);

/// The transfers directory joined with "<id>.json"; as partial_file_path.
Result<Path> metadata_file_path(std::string_view transfer_id);

/// The text of a string member of `message`, or the empty text when the
/// member is missing or of another JSON type (also when `message` is no object).
std::string_view string_member_or_empty(const Json& message, std::string_view name);

/// The string member of `object` as a JSON string, or null when it is missing,
/// of another type, or `object` is no object.
Json string_member_or_null(const Json& object, std::string_view name);

/// The member as an unsigned 64-bit integer when it is a non-negative integer
/// (not 1024.0, not 1e3, not "12"); nullopt otherwise.
std::optional<std::uint64_t> size_member(const Json& object, std::string_view name);

}  // namespace qlx
