#pragma once

// Bytes handed on piece by piece, so that a long text is never held whole.

#include <functional>
#include <string_view>

#include "base/failure.h"

namespace qlx {

/// Takes the next piece of a text; a failure ends the text there.
using ByteSink = std::function<Result<void>(std::string_view piece)>;

/// Makes a text into `sink`, piece by piece, and returns the first failure of
/// the sink (or its own).
using ByteProducer = std::function<Result<void>(const ByteSink& sink)>;

}  // namespace qlx
