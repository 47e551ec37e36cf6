#pragma once

#include <string>
#include <string_view>

namespace qlx::testing_support {

/// Standard Base64 with padding (RFC 4648), to build messages and inputs for
/// the decoder: the tests, the benchmarks and the Base64 fuzzer share it.
std::string encode_base64(std::string_view bytes);

}  // namespace qlx::testing_support
