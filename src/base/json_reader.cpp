// The strict JSON reader: one pass over the text, no recursion (open arrays
// and objects live on an explicit stack), string bodies scanned in bulk.
#include <charconv>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/json.h"
#include "base/json_scan.h"
#include "base/json_text.h"
#include "base/utf8.h"

namespace qlx {
namespace {

constexpr const char* kEofInList = "EOF while parsing a list";
constexpr const char* kEofInObject = "EOF while parsing an object";
constexpr const char* kEofInString = "EOF while parsing a string";
constexpr const char* kEofInValue = "EOF while parsing a value";

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_space(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// Whether a literal that from_chars found out of range is too large (true)
/// rather than too small for a double: the decimal exponent of its first
/// significant digit is then at least zero.
bool is_too_large(const char* p, const char* end) {
  if (*p == '-') ++p;
  std::int64_t leading = 0;  // exponent of the first significant digit, before the "e" part
  bool found = false;
  std::int64_t integer_digits = 0;
  for (; p != end && is_digit(*p); ++p) {
    if (!found && *p != '0') found = true;
    if (found) ++integer_digits;
  }
  if (found) {
    leading = integer_digits - 1;
  } else if (p != end && *p == '.') {
    ++p;
    std::int64_t zeros = 0;
    for (; p != end && *p == '0'; ++p) ++zeros;
    leading = -(zeros + 1);
  }
  while (p != end && *p != 'e' && *p != 'E') ++p;
  std::int64_t exponent = 0;
  if (p != end) {
    ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    for (; p != end; ++p) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return leading + exponent >= 0;
}

enum class Build { kTree, kCheck };

/// The state of one parse.  Member functions return false after recording
/// the failure's description and position.
struct Reader {
  const char* begin;
  const char* p;
  const char* end;
  const RepeatedMemberReport* report = nullptr;  // null: repeated names are not reported
  const char* failure_description = nullptr;
  const char* failure_at = nullptr;  // the offending byte; `end` for a premature end
  /// Checking only: the members of the top-level object, listed as they are
  /// read (null: not listed), and where the member being read has its name
  /// (between the quotes) and its value.
  JsonMembers* top_members = nullptr;
  const char* top_name_at = nullptr;
  const char* top_name_end = nullptr;
  const char* top_value_at = nullptr;

  /// An array or object that is still open.  Array elements wait in `items`
  /// (from `first` on) until the array closes and gets exactly their number.
  struct Level {
    bool is_array;
    std::size_t first;
    Json object;
    std::string key;
  };

  std::size_t offset(const char* at) const { return static_cast<std::size_t>(at - begin); }

  bool fault(const char* description, const char* at) {
    failure_description = description;
    failure_at = at;
    return false;
  }
  bool fault_here(const char* description) { return fault(description, p); }
  bool fault_eof(const char* description) { return fault(description, end); }

  std::string failure_text() const {
    std::size_t line = 1;
    const char* line_start = begin;
    for (const char* q = begin; q != failure_at; ++q) {
      if (*q == '\n') {
        ++line;
        line_start = q + 1;
      }
    }
    // Bytes read on the line: up to and including the offending byte.
    std::size_t column = static_cast<std::size_t>(failure_at - line_start);
    if (failure_at != end) ++column;
    return std::string(failure_description) + " at line " + std::to_string(line) + " column " +
           std::to_string(column);
  }

  void skip_space() {
    while (p != end && is_space(*p)) ++p;
  }

  /// Reads the four hexadecimal digits after "\u"; `p` is on the "u" and
  /// ends on the last digit.
  bool read_hex4(std::uint32_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      ++p;
      if (p == end) return fault_eof(kEofInString);
      const int digit = hex_value(*p);
      if (digit < 0) return fault_here("unexpected end of hex escape");
      unit = unit << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
  }

  /// `p` is on a backslash; on success it is just past the escape, whose
  /// character is appended to `out` unless that is null.
  bool read_escape(std::string* out) {
    ++p;
    if (p == end) return fault_eof(kEofInString);
    switch (*p) {
      case '"':
        if (out != nullptr) out->push_back('"');
        break;
      case '\\':
        if (out != nullptr) out->push_back('\\');
        break;
      case '/':
        if (out != nullptr) out->push_back('/');
        break;
      case 'b':
        if (out != nullptr) out->push_back('\b');
        break;
      case 'f':
        if (out != nullptr) out->push_back('\f');
        break;
      case 'n':
        if (out != nullptr) out->push_back('\n');
        break;
      case 'r':
        if (out != nullptr) out->push_back('\r');
        break;
      case 't':
        if (out != nullptr) out->push_back('\t');
        break;
      case 'u': {
        std::uint32_t unit;
        if (!read_hex4(unit)) return false;
        if (unit >= 0xDC00 && unit <= 0xDFFF) return fault_here("invalid unicode code point");
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          ++p;
          if (p == end) return fault_eof(kEofInString);
          if (*p != '\\') return fault_here("lone leading surrogate in hex escape");
          ++p;
          if (p == end) return fault_eof(kEofInString);
          if (*p != 'u') return fault_here("lone leading surrogate in hex escape");
          std::uint32_t low;
          if (!read_hex4(low)) return false;
          if (low < 0xDC00 || low > 0xDFFF) {
            return fault_here("lone leading surrogate in hex escape");
          }
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        if (out != nullptr) append_utf8(*out, unit);
        break;
      }
      default:
        return fault_here("invalid escape");
    }
    ++p;
    return true;
  }

  /// Gives `out` the run of plain bytes from `run` to `p`: appended after an
  /// escape, the whole string so far before the first one.
  void take_run(std::string& out, const char* run, bool escaped) const {
    if (escaped) {
      out.append(run, p);
    } else {
      out.assign(run, p);
    }
  }

  /// `p` is just past the opening quote; on success it is just past the
  /// closing one.  Runs without escapes are copied once, straight from the
  /// text, into `out`; a null `out` only checks the string.
  bool read_string(std::string* out) {
    const char* run = p;
    bool escaped = false;
    for (;;) {
      p = json_text::find_reader_stop(p, end);
      if (p == end) return fault_eof(kEofInString);
      const auto c = static_cast<unsigned char>(*p);
      if (c == '"') {
        if (out != nullptr) take_run(*out, run, escaped);
        ++p;
        return true;
      }
      if (c >= 0x80) {
        const auto step = json_text::check_utf8_sequence(
            reinterpret_cast<const unsigned char*>(p), reinterpret_cast<const unsigned char*>(end));
        if (step.kind == json_text::Utf8Step::Kind::kValid) {
          p += step.length;
          continue;
        }
        if (step.kind == json_text::Utf8Step::Kind::kTruncated) return fault_eof(kEofInString);
        return fault("invalid unicode code point", p + step.length);
      }
      if (c == '\\') {
        if (out != nullptr) take_run(*out, run, escaped);
        escaped = true;
        if (!read_escape(out)) return false;
        run = p;
        continue;
      }
      return fault_here("control character (\\u0000-\\u001F) found while parsing a string");
    }
  }

  /// The rest of "true", "false" or "null" after its first letter.
  bool read_literal(const char* word, std::size_t length) {
    for (std::size_t i = 1; i < length; ++i) {
      if (static_cast<std::size_t>(end - p) == i) return fault_eof(kEofInValue);
      if (p[i] != word[i]) return fault("expected ident", p + i);
    }
    p += length;
    return true;
  }

  /// Consumes a run of at least one digit.
  bool read_digits() {
    if (p == end) return fault_eof(kEofInValue);
    if (!is_digit(*p)) return fault_here("invalid number");
    while (p != end && is_digit(*p)) ++p;
    return true;
  }

  /// `p` is on "-" or a digit.
  bool read_number(Json& value) {
    const char* start = p;
    const bool negative = *p == '-';
    if (negative) {
      ++p;
      if (p == end) return fault_eof(kEofInValue);
    }
    std::uint64_t magnitude = 0;
    bool fits = true;
    if (*p == '0') {
      ++p;
      if (p != end && is_digit(*p)) return fault_here("invalid number");
    } else if (is_digit(*p)) {
      for (; p != end && is_digit(*p); ++p) {
        const auto digit = static_cast<std::uint64_t>(*p - '0');
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) fits = false;
        magnitude = magnitude * 10 + digit;
      }
    } else {
      return fault_here("invalid number");
    }
    bool integer = true;
    if (p != end && *p == '.') {
      integer = false;
      ++p;
      if (!read_digits()) return false;
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
      integer = false;
      ++p;
      if (p != end && (*p == '+' || *p == '-')) ++p;
      if (!read_digits()) return false;
    }
    if (integer && fits) {
      if (!negative || magnitude == 0) {
        value = magnitude;
        return true;
      }
      if (magnitude <= std::uint64_t{1} << 63) {
        value = static_cast<std::int64_t>(~magnitude + 1);
        return true;
      }
    }
    double number = 0;
    const auto [stop, error] = std::from_chars(start, p, number);
    if (error == std::errc::result_out_of_range) {
      if (is_too_large(start, p)) return fault("number out of range", p - 1);
      number = negative ? -0.0 : 0.0;
    } else if (error != std::errc() || stop != p) {
      return fault("invalid number", p - 1);
    }
    value = number;
    return true;
  }

  /// Makes the elements that wait in `items` from `first` on into `value`,
  /// an array of exactly their number.
  static void close_array(std::size_t first, std::vector<Json>& items, Json& value) {
    if (first == 0) {
      // Every waiting element is this array's: the array takes the list
      // itself, so that a wide array is never held twice.
      value = Json::array_t(std::move(items));
      items = std::vector<Json>();
      return;
    }
    const auto from = items.begin() + static_cast<std::ptrdiff_t>(first);
    value = Json::array_t(std::make_move_iterator(from), std::make_move_iterator(items.end()));
    items.erase(from, items.end());
  }

  /// Reads the whole text.  kTree builds its value into `root`; kCheck only
  /// checks it (same failures, no value, no copy of any string).
  template <Build kBuild>
  bool read_document(Json& root) {
    constexpr bool kTree = kBuild == Build::kTree;
    std::vector<Level> levels;
    std::vector<Json> items;
    Json value;
    for (;;) {
      // A value is due.
      skip_space();
      if (p == end) return fault_eof(kEofInValue);
      if (!kTree && top_members != nullptr && levels.size() == 1 && !levels[0].is_array) {
        top_value_at = p;
      }
      switch (*p) {
        case '[':
          if (levels.size() == static_cast<std::size_t>(kMaxJsonDepth)) {
            return fault_here("recursion limit exceeded");
          }
          ++p;
          skip_space();
          if (p == end) return fault_eof(kEofInList);
          if (*p == ']') {
            ++p;
            if constexpr (kTree) value = Json::array();
            break;
          }
          levels.push_back(Level{true, items.size(), Json(), std::string()});
          continue;
        case '{':
          if (levels.size() == static_cast<std::size_t>(kMaxJsonDepth)) {
            return fault_here("recursion limit exceeded");
          }
          ++p;
          skip_space();
          if (p == end) return fault_eof(kEofInObject);
          if (*p == '}') {
            ++p;
            if constexpr (kTree) value = Json::object();
            break;
          }
          if (*p != '"') return fault_here("key must be a string");
          levels.push_back(Level{false, 0, kTree ? Json::object() : Json(), std::string()});
          if (!read_key(kTree ? &levels.back().key : nullptr, levels.size())) return false;
          continue;
        case '"': {
          ++p;
          if constexpr (kTree) {
            std::string text;
            if (!read_string(&text)) return false;
            value = std::move(text);
          } else if (!read_string(nullptr)) {
            return false;
          }
          break;
        }
        case 't':
          if (!read_literal("true", 4)) return false;
          value = true;
          break;
        case 'f':
          if (!read_literal("false", 5)) return false;
          value = false;
          break;
        case 'n':
          if (!read_literal("null", 4)) return false;
          value = nullptr;
          break;
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
          if (!read_number(value)) return false;
          break;
        default:
          return fault_here("expected value");
      }

      // `value` is complete: give it to the innermost open level and read
      // what follows, closing levels until another value is due.
      for (;;) {
        const char* value_end = p;
        skip_space();
        if (levels.empty()) {
          if (p != end) return fault_here("trailing characters");
          root = std::move(value);
          return true;
        }
        Level& level = levels.back();
        if (level.is_array) {
          if constexpr (kTree) items.push_back(std::move(value));
          if (p == end) return fault_eof(kEofInList);
          if (*p == ',') {
            ++p;
            skip_space();
            if (p == end) return fault_eof(kEofInValue);
            if (*p == ']') return fault_here("trailing comma");
            break;
          }
          if (*p != ']') return fault_here("expected `,` or `]`");
          ++p;
          if constexpr (kTree) close_array(level.first, items, value);
          levels.pop_back();
        } else {
          if constexpr (kTree) {
            // A repeated name: the last one wins.
            auto [member, inserted] = level.object.get_ref<Json::object_t&>().try_emplace(
                std::move(level.key), std::move(value));
            if (!inserted) {
              if (report != nullptr) (*report)({levels.size(), member->first, member->second});
              member->second = std::move(value);
            }
          } else if (top_members != nullptr && levels.size() == 1) {
            append_member(*top_members, offset(top_name_at), offset(top_name_end),
                          offset(top_value_at), offset(value_end));
          }
          if (p == end) return fault_eof(kEofInObject);
          if (*p == ',') {
            ++p;
            skip_space();
            if (p == end) return fault_eof(kEofInObject);
            if (*p == '}') return fault_here("trailing comma");
            if (*p != '"') return fault_here("key must be a string");
            if (!read_key(kTree ? &level.key : nullptr, levels.size())) return false;
            break;
          }
          if (*p != '}') return fault_here("expected `,` or `}`");
          ++p;
          if constexpr (kTree) value = std::move(level.object);
          if (!kTree && top_members != nullptr && levels.size() == 1) top_members->end = offset(p);
          levels.pop_back();
        }
      }
    }
  }

  /// `p` is on the opening quote of a member name of an object at `depth`
  /// (1: the top level); on success it is just past the colon that follows
  /// the name.
  bool read_key(std::string* key, std::size_t depth) {
    ++p;
    const char* name_at = p;
    if (!read_string(key)) return false;
    if (depth == 1) {
      top_name_at = name_at;
      top_name_end = p - 1;
    }
    skip_space();
    if (p == end) return fault_eof(kEofInObject);
    if (*p != ':') return fault_here("expected `:`");
    ++p;
    return true;
  }
};

Result<Json> parse(std::string_view text, const RepeatedMemberReport* report) {
  Reader reader{text.data(), text.data(), text.data() + text.size(), report};
  Json root;
  if (!reader.read_document<Build::kTree>(root)) return fail(reader.failure_text());
  return root;
}

}  // namespace

Result<Json> parse_json(std::string_view text) {
  return parse(text, nullptr);
}

Result<Json> parse_json(std::string_view text, const RepeatedMemberReport& report) {
  return parse(text, &report);
}

Result<void> check_json(std::string_view text, JsonMembers* top_members) {
  Reader reader{text.data(), text.data(), text.data() + text.size()};
  if (top_members != nullptr) {
    *top_members = JsonMembers{text, {}, {}, 0};
    reader.top_members = top_members;
  }
  Json unused;
  if (!reader.read_document<Build::kCheck>(unused)) return fail(reader.failure_text());
  if (top_members != nullptr) order_members(*top_members);
  return {};
}

}  // namespace qlx
