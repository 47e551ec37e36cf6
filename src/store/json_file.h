#pragma once

#include "base/failure.h"
#include "base/json.h"
#include "platform/fs.h"

namespace qlx {

/// write_file() of to_indented_json(value), written as it is made through a
/// buffer of kJsonPieceBytes: the memory it takes does not grow with the
/// text, however deep the value nests.
Result<void> write_json_file(const Path& path, const Json& value, WhenHeld when = WhenHeld::kFail);

}  // namespace qlx
