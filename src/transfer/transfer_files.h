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

#include <string>
#include <string_view>

#include "base/failure.h"
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

}  // namespace qlx
