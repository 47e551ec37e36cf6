#pragma once

// Receiving a browser-generated file: blob_begin announces it, each
// blob_chunk carries some of its bytes in Base64.

#include <cstddef>

#include "base/failure.h"
#include "base/json.h"
#include "base/message.h"

namespace qlx {

/// The longest "data_base64" text one chunk may carry (675,000 bytes decoded).
inline constexpr std::size_t kMaxChunkBase64 = 900'000;

/// "blob_begin": checks "transfer_id", creates the transfers directory,
/// deletes the id's old files, writes the metadata file ("content_type",
/// "expected_size" from "size", "filename", "referrer", "source_url") and
/// then creates the partial file empty.  Reply {"ok":true,"transfer_id":<id>}.
/// First it removes every abandoned transfer (abandoned_transfers.h).
/// While the id's partial file exists without its metadata file (handed over
/// to the download manager), fails with "browser transfer was already handed
/// over" and touches nothing.
Result<Json> handle_blob_begin(const Message& message);

/// "blob_chunk": checks "transfer_id", the chunk's length and its Base64,
/// then appends the bytes to the partial file, which must exist already.  A
/// transfer whose metadata file is gone (handed over to the download manager,
/// or a blob_begin that failed half-way) is no longer receiving: "browser
/// transfer was not started", and the partial file is left untouched.
/// Reply {"ok":true,"received":<bytes of this chunk>}.
Result<Json> handle_blob_chunk(const Message& message);

}  // namespace qlx
