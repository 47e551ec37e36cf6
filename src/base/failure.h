#pragma once

#include <expected>
#include <string>
#include <utility>

namespace qlx {

/// Why an operation did not succeed: exactly one text, reported unchanged up
/// to the message loop ("Native message too large", "No such file or
/// directory (os error 2)").  Never wrapped or chained.
struct Failure {
  std::string text;
};

/// The result of every fallible operation.
template <typename T>
using Result = std::expected<T, Failure>;

/// `return fail("invalid browser transfer id");`
inline std::unexpected<Failure> fail(std::string text) {
  return std::unexpected(Failure{std::move(text)});
}

inline std::unexpected<Failure> fail(Failure failure) {
  return std::unexpected(std::move(failure));
}

}  // namespace qlx
