#pragma once

// Handing work to the download manager through files: a request file in the
// inbox (written in inbox-staging and renamed into the inbox once whole),
// then a wait for the result file of the same name in inbox-results.

#include <chrono>
#include <functional>

#include "base/byte_sink.h"
#include "base/failure.h"
#include "base/json.h"

namespace qlx {

enum class HandoffKind { kAddDownload, kImportBrowserFile };

/// How often and how long to look for the result file.
struct PollPolicy {
  int polls = 700;
  std::chrono::milliseconds period{50};
};
inline constexpr PollPolicy kHandoffPolls{};

/// Writes the request that `body` makes (the indented text of a JSON object)
/// as a request file under a fresh request id,
/// starts the download manager and waits for its result.  Returns the reply:
/// the result value (an object gets "launched"), the kind's unreadable-result
/// reply, or the kind's timeout reply (the request file is then deleted).
/// The request file is written as "<request id>.tmp" in the staging folder
/// and renamed into the inbox as "<request id>.json", so the inbox never
/// holds a partial request; staged files that a killed host left are removed
/// once a day old (store/abandoned_files.h).  When writing or renaming it
/// fails, the staged file is deleted.
/// Fails, ending the host, when the data directory, the inbox directories, the
/// request file or the result file cannot be used (a result file that is not
/// UTF-8 included; both files then stay).
/// `after_request_written` runs right after the request file is written and
/// before the download manager is started (the import kind deletes its
/// transfer metadata file there).  `after_request_withdrawn` runs when the
/// wait ended without a result and the host deleted its own request file:
/// the manager never took the request.  When that deletion fails, the
/// manager may have taken it, and nothing runs.
/// A result file that another program holds (on Windows) counts as not there
/// yet; reading and deleting results and withdrawing the request wait out a
/// held file briefly.
Result<Json> submit_handoff(HandoffKind kind, const ByteProducer& body,
                            const std::function<void()>& after_request_written = {},
                            PollPolicy policy = kHandoffPolls,
                            const std::function<void()>& after_request_withdrawn = {});

/// submit_handoff() of the indented text of `body`.
Result<Json> submit_handoff(HandoffKind kind, const Json& body,
                            const std::function<void()>& after_request_written = {},
                            PollPolicy policy = kHandoffPolls,
                            const std::function<void()>& after_request_withdrawn = {});

}  // namespace qlx
