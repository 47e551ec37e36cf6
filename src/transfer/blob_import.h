#pragma once

// Ending a browser transfer: blob_end checks the partial file against the
// announced size and hands its path to the download manager as an
// "import_browser_file" request.

#include "base/failure.h"
#include "base/json.h"
#include "base/message.h"
#include "handoff/submit_handoff.h"

namespace qlx {

/// "blob_end": checks "transfer_id"; both transfer files must exist ("browser
/// transfer was not started"); a non-negative integer "expected_size" must
/// equal the partial file's length ("browser transfer size mismatch: expected
/// <n> bytes, received <m>").  Then submits the seven-member import request
/// ("content_type", "filename", "referrer", "source_url" from the metadata
/// file, "source" from this message, "temp_path" the partial file's path in
/// UTF-8, "type" "import_browser_file"), deleting the metadata file right
/// after the request file is written, and returns the handoff's reply.  When
/// the wait ends without a result and the host withdraws the request itself,
/// the partial file is deleted too; when the request was gone already (the
/// manager took it), the partial file stays the manager's.
/// `policy` sets the wait for the download manager's result.
Result<Json> end_transfer(const Message& message, PollPolicy policy);

/// end_transfer with the real wait: 700 polls, 50 ms apart.
Result<Json> handle_blob_end(const Message& message);

}  // namespace qlx
