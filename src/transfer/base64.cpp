#include "transfer/base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

namespace qlx {
namespace {

// The group tables lay bytes out for a little-endian store (x86-64, ARM64).
static_assert(std::endian::native == std::endian::little);

constexpr std::uint32_t kNotASymbol = 0x8000'0000;

/// The value of each alphabet symbol, or -1.
constexpr std::array<int, 256> kSymbolValues = [] {
  std::array<int, 256> values{};
  values.fill(-1);
  constexpr std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    values[static_cast<unsigned char>(alphabet[i])] = static_cast<int>(i);
  }
  return values;
}();

/// One table per position in a group of four.  OR-ing the four entries of a
/// group gives its three bytes laid out as they go to memory in the low three
/// bytes of a native word (so one 32-bit store writes them), with kNotASymbol
/// set when any of the four is not a symbol.
constexpr std::array<std::array<std::uint32_t, 256>, 4> kGroupTables = [] {
  std::array<std::array<std::uint32_t, 256>, 4> tables{};
  for (int position = 0; position < 4; ++position) {
    for (int byte = 0; byte < 256; ++byte) {
      const int value = kSymbolValues[static_cast<std::size_t>(byte)];
      std::uint32_t entry = kNotASymbol;
      if (value >= 0) {
        // The 24 bits of the group, first symbol highest.
        const std::uint32_t bits = static_cast<std::uint32_t>(value) << (18 - 6 * position);
        const std::uint32_t b0 = bits >> 16, b1 = (bits >> 8) & 0xFF, b2 = bits & 0xFF;
        entry = b0 | b1 << 8 | b2 << 16;
      }
      tables[static_cast<std::size_t>(position)][static_cast<std::size_t>(byte)] = entry;
    }
  }
  return tables;
}();

bool is_symbol(char c) {
  return kSymbolValues[static_cast<unsigned char>(c)] >= 0;
}

int symbol_value(char c) {
  return kSymbolValues[static_cast<unsigned char>(c)];
}

Failure invalid_symbol(char byte, std::size_t offset) {
  return Failure{"Invalid symbol " + std::to_string(static_cast<unsigned char>(byte)) +
                 ", offset " + std::to_string(offset) + "."};
}

/// Decodes `groups` whole groups of four from `in` to `out`, three bytes each,
/// and may write one byte past them.  False when any byte was not a symbol.
bool decode_groups(const char* in, std::size_t groups, char* out) {
  const auto& t0 = kGroupTables[0];
  const auto& t1 = kGroupTables[1];
  const auto& t2 = kGroupTables[2];
  const auto& t3 = kGroupTables[3];
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  std::uint32_t seen = 0;
  for (std::size_t i = 0; i < groups; ++i, s += 4, out += 3) {
    const std::uint32_t word = t0[s[0]] | t1[s[1]] | t2[s[2]] | t3[s[3]];
    seen |= word;
    std::memcpy(out, &word, 4);
  }
  return (seen & kNotASymbol) == 0;
}

/// What the final group holds once its symbols and padding are in order.
struct FinalGroup {
  std::size_t symbols = 0;
};

/// Checks 3 to 6 on the final group text[start, text.size()).
Result<FinalGroup> check_final_group(std::string_view text, std::size_t start) {
  FinalGroup group;
  std::optional<std::size_t> first_padding;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      if (i - start < 2) return fail(invalid_symbol(c, i));
      if (!first_padding) first_padding = i;
    } else if (is_symbol(c)) {
      if (first_padding) return fail(invalid_symbol('=', *first_padding));
      ++group.symbols;
    } else {
      return fail(invalid_symbol(c, i));
    }
  }
  if (group.symbols == 1) return fail("Invalid input length: " + std::to_string(text.size()));
  if (text.size() - start != 4) return fail("Invalid padding");
  const std::size_t last = start + group.symbols - 1;
  const int unused_mask = group.symbols == 2 ? 0x0F : group.symbols == 3 ? 0x03 : 0;
  if ((symbol_value(text[last]) & unused_mask) != 0) {
    return fail("Invalid last symbol " + std::to_string(static_cast<unsigned char>(text[last])) +
                ", offset " + std::to_string(last) + ".");
  }
  return group;
}

}  // namespace

Result<std::string> decode_base64(std::string_view text) {
  if (text.empty()) return std::string();
  const std::size_t size = text.size();
  if (size % 4 == 1 && text.back() != '=' && !is_symbol(text.back())) {
    return fail(invalid_symbol(text.back(), size - 1));
  }
  const std::size_t final_start = size % 4 == 0 ? size - 4 : size - size % 4;
  const std::size_t groups = final_start / 4;

  std::optional<Failure> failure;
  std::string bytes;
  // Room for the whole groups and up to three bytes of the final group, which
  // also takes the one byte that decode_groups may write past its end.
  bytes.resize_and_overwrite(groups * 3 + 3, [&](char* out, std::size_t) -> std::size_t {
    if (!decode_groups(text.data(), groups, out)) {
      for (std::size_t i = 0; i < final_start; ++i) {
        if (!is_symbol(text[i])) {
          failure = invalid_symbol(text[i], i);
          return 0;
        }
      }
    }
    auto group = check_final_group(text, final_start);
    if (!group) {
      failure = std::move(group.error());
      return 0;
    }
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const int value = i < group->symbols ? symbol_value(text[final_start + i]) : 0;
      bits = bits << 6 | static_cast<std::uint32_t>(value);
    }
    char* tail = out + groups * 3;
    const std::size_t tail_bytes = group->symbols - 1;
    for (std::size_t i = 0; i < tail_bytes; ++i) {
      tail[i] = static_cast<char>((bits >> (16 - 8 * i)) & 0xFF);
    }
    return groups * 3 + tail_bytes;
  });
  if (failure) return fail(std::move(*failure));
  return bytes;
}

}  // namespace qlx
