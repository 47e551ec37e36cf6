// The compact and indented writers.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "base/json.h"
#include "base/json_text.h"

namespace qlx {
namespace {

enum class Layout { kCompact, kIndented };

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, written.ptr);
}

/// The shortest digits that read back as `value`, in plain notation when the
/// first significant digit's decimal exponent lies in [-5, 15] ("100.0",
/// "0.00001"), otherwise as "1e+16", "1.5e-7".  Not finite: null.
void append_double(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (value == 0) {
    out += std::signbit(value) ? "-0.0" : "0.0";
    return;
  }
  // Shortest round-trip digits in the form "-d.ddde-07".
  char scientific[32];
  const char* stop = std::to_chars(scientific, scientific + sizeof scientific, value,
                                   std::chars_format::scientific)
                         .ptr;
  const char* p = scientific;
  if (*p == '-') {
    out.push_back('-');
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

  if (exponent >= 0 && exponent <= 15) {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (count <= whole) {
      out.append(digits, count);
      out.append(whole - count, '0');
      out += ".0";
    } else {
      out.append(digits, whole);
      out.push_back('.');
      out.append(digits + whole, count - whole);
    }
  } else if (exponent < 0 && exponent >= -5) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out.append(digits, count);
  } else {
    out.push_back(digits[0]);
    if (count > 1) {
      out.push_back('.');
      out.append(digits + 1, count - 1);
    }
    out.push_back('e');
    out.push_back(negative_exponent ? '-' : '+');
    append_integer(out, negative_exponent ? -exponent : exponent);
  }
}

void append_escape(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\r':
      out += "\\r";
      return;
    default: {
      static constexpr char kHex[] = "0123456789abcdef";
      const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out.append(escape, sizeof escape);
    }
  }
}

void append_newline(std::string& out, std::size_t depth) {
  out.push_back('\n');
  out.append(depth * 2, ' ');
}

template <Layout kLayout>
void append_value(std::string& out, const Json& value, std::size_t depth) {
  switch (value.type()) {
    case Json::value_t::null:
      out += "null";
      return;
    case Json::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      return;
    case Json::value_t::number_integer:
      append_integer(out, value.get<std::int64_t>());
      return;
    case Json::value_t::number_unsigned:
      append_integer(out, value.get<std::uint64_t>());
      return;
    case Json::value_t::number_float:
      append_double(out, value.get<double>());
      return;
    case Json::value_t::string:
      append_json_string(out, value.get_ref<const std::string&>());
      return;
    case Json::value_t::array: {
      const auto& items = value.get_ref<const Json::array_t&>();
      if (items.empty()) {
        out += "[]";
        return;
      }
      out.push_back('[');
      bool first = true;
      for (const Json& item : items) {
        if (!first) out.push_back(',');
        first = false;
        if constexpr (kLayout == Layout::kIndented) append_newline(out, depth + 1);
        append_value<kLayout>(out, item, depth + 1);
      }
      if constexpr (kLayout == Layout::kIndented) append_newline(out, depth);
      out.push_back(']');
      return;
    }
    case Json::value_t::object: {
      const auto& members = value.get_ref<const Json::object_t&>();
      if (members.empty()) {
        out += "{}";
        return;
      }
      out.push_back('{');
      bool first = true;
      for (const auto& [name, member] : members) {
        if (!first) out.push_back(',');
        first = false;
        if constexpr (kLayout == Layout::kIndented) append_newline(out, depth + 1);
        append_json_string(out, name);
        if constexpr (kLayout == Layout::kIndented) {
          out += ": ";
        } else {
          out.push_back(':');
        }
        append_value<kLayout>(out, member, depth + 1);
      }
      if constexpr (kLayout == Layout::kIndented) append_newline(out, depth);
      out.push_back('}');
      return;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded:
      // Neither is ever built by the host nor produced by the reader.
      out += "null";
      return;
  }
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out.push_back('"');
  const char* p = text.data();
  const char* end = p + text.size();
  for (;;) {
    const char* stop = json_text::find_writer_stop(p, end);
    out.append(p, stop);
    if (stop == end) break;
    append_escape(out, static_cast<unsigned char>(*stop));
    p = stop + 1;
  }
  out.push_back('"');
}

std::string to_compact_json(const Json& value) {
  std::string out;
  append_value<Layout::kCompact>(out, value, 0);
  return out;
}

std::string to_indented_json(const Json& value) {
  std::string out;
  append_value<Layout::kIndented>(out, value, 0);
  return out;
}

}  // namespace qlx
