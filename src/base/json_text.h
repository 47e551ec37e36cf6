#pragma once
// Byte-level helpers shared by the JSON reader and writers: bulk scans over
// string bodies and the UTF-8 well-formedness rules.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qlx::json_text {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

/// Eight bytes as one word whose lowest byte is the first in memory.
inline std::uint64_t load_word(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = std::byteswap(word);
  return word;
}

/// The high bit of each byte of `word` that is '"', '\\', below 0x20 or at
/// least 0x80.  Borrows can only mark bytes above a marked one, so the lowest
/// mark is always exact.
inline std::uint64_t reader_stop_bytes(std::uint64_t word) {
  const std::uint64_t quote = word ^ (kOnes * '"');
  const std::uint64_t backslash = word ^ (kOnes * '\\');
  return ((quote - kOnes) | (backslash - kOnes) | (word - kOnes * 0x20) | word) & kHighBits;
}

/// The high bit of each byte of `word` that a writer must escape: '"', '\\'
/// or below 0x20 (bytes from 0x80 up are copied unchanged).
inline std::uint64_t writer_stop_bytes(std::uint64_t word) {
  const std::uint64_t quote = word ^ (kOnes * '"');
  const std::uint64_t backslash = word ^ (kOnes * '\\');
  return (((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) |
          ((word - kOnes * 0x20) & ~word)) &
         kHighBits;
}

inline bool is_reader_stop(unsigned char c) {
  return c == '"' || c == '\\' || c < 0x20 || c >= 0x80;
}
inline bool is_writer_stop(unsigned char c) {
  return c == '"' || c == '\\' || c < 0x20;
}

/// First byte in [p, end) that `Word` marks (`Byte` being the same test for
/// one byte), or `end`.  Sixteen bytes per step while they last.
template <std::uint64_t (*Word)(std::uint64_t), bool (*Byte)(unsigned char)>
inline const char* find_stop(const char* p, const char* end) {
  while (end - p >= 16) {
    const std::uint64_t low = Word(load_word(p));
    const std::uint64_t high = Word(load_word(p + 8));
    if ((low | high) != 0) {
      if (low != 0) return p + std::countr_zero(low) / 8;
      return p + 8 + std::countr_zero(high) / 8;
    }
    p += 16;
  }
  if (end - p >= 8) {
    const std::uint64_t mask = Word(load_word(p));
    if (mask != 0) return p + std::countr_zero(mask) / 8;
    p += 8;
  }
  while (p != end && !Byte(static_cast<unsigned char>(*p))) ++p;
  return p;
}

/// First byte of a string body that a reader must look at: the closing quote,
/// an escape, a control character or the start of a multi-byte character.
inline const char* find_reader_stop(const char* p, const char* end) {
  return find_stop<reader_stop_bytes, is_reader_stop>(p, end);
}

/// First byte that a writer must escape, or `end`.
inline const char* find_writer_stop(const char* p, const char* end) {
  return find_stop<writer_stop_bytes, is_writer_stop>(p, end);
}

/// How a multi-byte UTF-8 sequence starting at a byte >= 0x80 ends.
struct Utf8Step {
  enum class Kind { kValid, kInvalid, kTruncated } kind;
  /// kValid: the sequence's length.  kInvalid: the offset of the first byte
  /// that cannot continue (or start) a well-formed sequence.
  std::size_t length;
};

/// Checks one sequence whose lead byte `p[0]` is at least 0x80.  No overlong
/// forms, no surrogates, nothing above U+10FFFF.  kTruncated: the bytes end
/// before the sequence does, with every byte so far acceptable.
inline Utf8Step check_utf8_sequence(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = p[0];
  std::size_t length;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;   // overlong below U+0800
    if (lead == 0xED) second_high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;   // overlong below U+10000
    if (lead == 0xF4) second_high = 0x8F;  // above U+10FFFF
  } else {
    return {Utf8Step::Kind::kInvalid, 0};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (p + i == end) return {Utf8Step::Kind::kTruncated, i};
    const unsigned char low = i == 1 ? second_low : 0x80;
    const unsigned char high = i == 1 ? second_high : 0xBF;
    if (p[i] < low || p[i] > high) return {Utf8Step::Kind::kInvalid, i};
  }
  return {Utf8Step::Kind::kValid, length};
}

}  // namespace qlx::json_text
