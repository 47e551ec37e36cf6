#pragma once

// Bytes that a row of a test table names without holding them.  ctest runs
// every test in a process of its own, and every such process builds every
// table of the suite: a large input kept in a table is paid for by each test.
// A row therefore holds small bytes as they are, and a large input as the
// recipe that builds it when its own test runs.

#include <functional>
#include <string>
#include <utility>

namespace qlx::testing_support {

class Bytes {
 public:
  Bytes() = default;
  Bytes(const char* text) : text_(text) {}
  Bytes(std::string text) : text_(std::move(text)) {}

  /// Bytes that `make` builds each time they are asked for.
  static Bytes built_by(std::function<std::string()> make) {
    Bytes bytes;
    bytes.make_ = std::move(make);
    return bytes;
  }

  /// The bytes themselves.
  std::string get() const { return make_ ? make_() : text_; }

 private:
  std::string text_;
  std::function<std::string()> make_;
};

}  // namespace qlx::testing_support
