// The compact and indented writers: one algorithm over two outputs, a string
// that receives the whole text and a bounded buffer that hands it on in pieces.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "base/json.h"
#include "base/json_scan.h"
#include "base/json_text.h"

namespace qlx {
namespace {

enum class Layout { kCompact, kIndented };

/// The whole text in one string.
struct StringOut {
  std::string& text;

  static constexpr bool failed() { return false; }
  void put(char c) { text.push_back(c); }
  void put(std::string_view bytes) { text.append(bytes); }
  void put_spaces(std::size_t count) { text.append(count, ' '); }
};

/// The text in pieces of at most kJsonPieceBytes, each handed to `sink` once
/// the buffer is full (and the last by finish()).  After the sink's first
/// failure nothing more is handed on.
struct PieceOut {
  const ByteSink& sink;
  std::string buffer;
  Result<void> status;

  explicit PieceOut(const ByteSink& to) : sink(to) { buffer.reserve(kJsonPieceBytes); }

  bool failed() const { return !status; }
  void put(char c) {
    if (buffer.size() == kJsonPieceBytes) flush();
    buffer.push_back(c);
  }
  void put(std::string_view bytes) {
    for (;;) {
      const std::size_t room = kJsonPieceBytes - buffer.size();
      if (bytes.size() <= room) {
        buffer.append(bytes);
        return;
      }
      buffer.append(bytes.substr(0, room));
      bytes.remove_prefix(room);
      flush();
    }
  }
  void put_spaces(std::size_t count) {
    for (;;) {
      const std::size_t room = kJsonPieceBytes - buffer.size();
      if (count <= room) {
        buffer.append(count, ' ');
        return;
      }
      buffer.append(room, ' ');
      count -= room;
      flush();
    }
  }
  void flush() {
    if (status && !buffer.empty()) status = sink(buffer);
    buffer.clear();
  }
  Result<void> finish() {
    flush();
    return std::move(status);
  }
};

template <typename Out, typename Integer>
void put_integer(Out& out, Integer value) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  out.put(std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
}

/// The shortest digits that read back as `value`, in plain notation when the
/// first significant digit's decimal exponent lies in [-5, 15] ("100.0",
/// "0.00001"), otherwise as "1e+16", "1.5e-7".  Not finite: null.
template <typename Out>
void put_double(Out& out, double value) {
  if (!std::isfinite(value)) {
    out.put("null");
    return;
  }
  if (value == 0) {
    out.put(std::signbit(value) ? "-0.0" : "0.0");
    return;
  }
  // Shortest round-trip digits in the form "-d.ddde-07".
  char scientific[32];
  const char* stop = std::to_chars(scientific, scientific + sizeof scientific, value,
                                   std::chars_format::scientific)
                         .ptr;
  const char* p = scientific;
  if (*p == '-') {
    out.put('-');
    ++p;
  }
  char digits[24];
  std::size_t count = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  ++p;  // past 'e'
  const bool negative_exponent = *p == '-';
  int exponent = 0;
  for (++p; p != stop; ++p) exponent = exponent * 10 + (*p - '0');
  if (negative_exponent) exponent = -exponent;

  const auto put_digits = [&out, &digits](std::size_t from, std::size_t to) {
    out.put(std::string_view(digits + from, to - from));
  };
  if (exponent >= 0 && exponent <= 15) {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (count <= whole) {
      put_digits(0, count);
      for (std::size_t i = count; i < whole; ++i) out.put('0');
      out.put(".0");
    } else {
      put_digits(0, whole);
      out.put('.');
      put_digits(whole, count);
    }
  } else if (exponent < 0 && exponent >= -5) {
    out.put("0.");
    for (int i = 0; i < -exponent - 1; ++i) out.put('0');
    put_digits(0, count);
  } else {
    out.put(digits[0]);
    if (count > 1) {
      out.put('.');
      put_digits(1, count);
    }
    out.put('e');
    out.put(negative_exponent ? '-' : '+');
    put_integer(out, negative_exponent ? -exponent : exponent);
  }
}

template <typename Out>
void put_escape(Out& out, unsigned char c) {
  switch (c) {
    case '"':
      out.put("\\\"");
      return;
    case '\\':
      out.put("\\\\");
      return;
    case '\b':
      out.put("\\b");
      return;
    case '\t':
      out.put("\\t");
      return;
    case '\n':
      out.put("\\n");
      return;
    case '\f':
      out.put("\\f");
      return;
    case '\r':
      out.put("\\r");
      return;
    default: {
      static constexpr char kHex[] = "0123456789abcdef";
      const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out.put(std::string_view(escape, sizeof escape));
    }
  }
}

template <typename Out>
void put_string(Out& out, std::string_view text) {
  out.put('"');
  const char* p = text.data();
  const char* end = p + text.size();
  for (;;) {
    const char* stop = json_text::find_writer_stop(p, end);
    out.put(std::string_view(p, static_cast<std::size_t>(stop - p)));
    if (stop == end) break;
    put_escape(out, static_cast<unsigned char>(*stop));
    p = stop + 1;
  }
  out.put('"');
}

template <typename Out>
void put_newline(Out& out, std::size_t depth) {
  out.put('\n');
  out.put_spaces(depth * 2);
}

template <Layout kLayout, typename Out>
void put_value(Out& out, const Json& value, std::size_t depth) {
  switch (value.type()) {
    case Json::value_t::null:
      out.put("null");
      return;
    case Json::value_t::boolean:
      out.put(value.get<bool>() ? "true" : "false");
      return;
    case Json::value_t::number_integer:
      put_integer(out, value.get<std::int64_t>());
      return;
    case Json::value_t::number_unsigned:
      put_integer(out, value.get<std::uint64_t>());
      return;
    case Json::value_t::number_float:
      put_double(out, value.get<double>());
      return;
    case Json::value_t::string:
      put_string(out, value.get_ref<const std::string&>());
      return;
    case Json::value_t::array: {
      const auto& items = value.get_ref<const Json::array_t&>();
      if (items.empty()) {
        out.put("[]");
        return;
      }
      out.put('[');
      bool first = true;
      for (const Json& item : items) {
        if (out.failed()) return;
        if (!first) out.put(',');
        first = false;
        if constexpr (kLayout == Layout::kIndented) put_newline(out, depth + 1);
        put_value<kLayout>(out, item, depth + 1);
      }
      if constexpr (kLayout == Layout::kIndented) put_newline(out, depth);
      out.put(']');
      return;
    }
    case Json::value_t::object: {
      const auto& members = value.get_ref<const Json::object_t&>();
      if (members.empty()) {
        out.put("{}");
        return;
      }
      out.put('{');
      bool first = true;
      for (const auto& [name, member] : members) {
        if (out.failed()) return;
        if (!first) out.put(',');
        first = false;
        if constexpr (kLayout == Layout::kIndented) put_newline(out, depth + 1);
        put_string(out, name);
        if constexpr (kLayout == Layout::kIndented) {
          out.put(": ");
        } else {
          out.put(':');
        }
        put_value<kLayout>(out, member, depth + 1);
      }
      if constexpr (kLayout == Layout::kIndented) put_newline(out, depth);
      out.put('}');
      return;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded:
      // Neither is ever built by the host nor produced by the reader.
      out.put("null");
      return;
  }
}

/// The value that starts at `at` in a checked text, written from the text as
/// put_value() writes its value; returns where the value ends.  `members`,
/// when not null, are those of the object at `at`.
template <typename Out>
std::size_t put_text_value(Out& out, std::string_view text, std::size_t at, std::size_t depth,
                           const JsonMembers* members = nullptr) {
  const char first = text[at];
  if (first == '[') {
    std::size_t p = json_value_start(text, at + 1);
    if (text[p] == ']') {
      out.put("[]");
      return p + 1;
    }
    out.put('[');
    for (;;) {
      put_newline(out, depth + 1);
      p = json_value_start(text, put_text_value(out, text, p, depth + 1));
      if (out.failed()) return json_value_end(text, at);
      if (text[p] == ']') break;
      out.put(',');
      p = json_value_start(text, p + 1);
    }
    put_newline(out, depth);
    out.put(']');
    return p + 1;
  }
  if (first == '{') {
    std::optional<JsonMembers> found;
    if (members == nullptr) members = &found.emplace(json_object_members(text, at));
    if (members->list.empty()) {
      out.put("{}");
      return members->end;
    }
    out.put('{');
    bool first_member = true;
    for (const JsonMember& member : members->list) {
      if (out.failed()) break;
      if (!first_member) out.put(',');
      first_member = false;
      put_newline(out, depth + 1);
      put_string(out, members->name(member));
      out.put(": ");
      put_text_value(out, text, member.value_at, depth + 1);
    }
    put_newline(out, depth);
    out.put('}');
    return members->end;
  }
  const std::size_t end = json_value_end(text, at);
  const std::string_view literal = text.substr(at, end - at);
  if (first == '"' && literal.find('\\') == std::string_view::npos) {
    // Nothing in it to decode, nothing to escape.
    out.put(literal);
  } else {
    put_value<Layout::kIndented>(out, *parse_json(literal), depth);
  }
  return end;
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  StringOut to{out};
  put_string(to, text);
}

std::string to_compact_json(const Json& value) {
  std::string text;
  StringOut out{text};
  put_value<Layout::kCompact>(out, value, 0);
  return text;
}

std::string to_indented_json(const Json& value) {
  std::string text;
  StringOut out{text};
  put_value<Layout::kIndented>(out, value, 0);
  return text;
}

Result<void> write_indented_json(const Json& value, const ByteSink& sink) {
  PieceOut out(sink);
  put_value<Layout::kIndented>(out, value, 0);
  return out.finish();
}

Result<void> write_indented_json_text(std::string_view text, const ByteSink& sink,
                                      const JsonMembers* top_members) {
  PieceOut out(sink);
  put_text_value(out, text, json_value_start(text), 0, top_members);
  return out.finish();
}

}  // namespace qlx
