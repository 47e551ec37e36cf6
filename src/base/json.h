#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/byte_sink.h"
#include "base/failure.h"

namespace qlx {

/// The value tree: objects keep their members in ascending byte order of the
/// names; numbers are unsigned 64-bit, signed 64-bit or double.
using Json = nlohmann::json;

/// Deepest nesting of arrays and objects that parse_json accepts.
inline constexpr int kMaxJsonDepth = 127;

/// Strict RFC 8259 reader, one pass, no recursion.  On failure the text is
/// the fault's description, " at line ", the line (from 1) and " column ", the
/// column (bytes read on that line, the offending byte included): "EOF while
/// parsing a value at line 1 column 0", "trailing comma at line 1 column 4".
/// Integers without fraction or exponent are unsigned 64-bit when not negative
/// ("-0" included), signed 64-bit when negative, double when they do not fit;
/// every other number is the exactly rounded double, too small ones reading as
/// 0.0 and too large ones failing with "number out of range".  Strings must be
/// well-formed UTF-8 ("invalid unicode code point" otherwise).  Duplicate
/// member names: the last one wins.  Nesting deeper than kMaxJsonDepth:
/// "recursion limit exceeded".
Result<Json> parse_json(std::string_view text);

struct JsonMembers;

/// Whether parse_json(text) would succeed, with its failure when it would not,
/// but without building the value: nothing is allocated for what the text
/// holds, however many values it has.  When `top_members` is not null and
/// the text is an object, they become its members as json_object_members()
/// finds them (no members for any other text), found in the same pass.
Result<void> check_json(std::string_view text, JsonMembers* top_members = nullptr);

/// A member name that occurs again in one object.
struct RepeatedMember {
  std::size_t depth;  // arrays and objects around the member: 1 in the top-level object
  std::string_view name;
  const Json& replaced;  // the earlier occurrence's value, which the later one replaces
};

/// Receives the repeated member names of a text, in text order.
using RepeatedMemberReport = std::function<void(const RepeatedMember&)>;

/// parse_json that also reports every repeated member name to `report`, for
/// readers whose rules forbid what "the last one wins" would hide.  The value
/// and the failures are those of parse_json(text).
Result<Json> parse_json(std::string_view text, const RepeatedMemberReport& report);

/// The form of replies: no white space, members in byte order of their names.
/// Strings escape only '"', '\\' and bytes below 0x20; doubles take their
/// shortest round-trip digits, plain from 1e-5 to below 1e16 ("100.0",
/// "0.00001"), else "1e+16", "1.5e-7"; a non-finite double is null.
std::string to_compact_json(const Json& value);

/// The form of files: two spaces per level, "\n" line breaks, ": " after names,
/// no line break after the last closing bracket.
std::string to_indented_json(const Json& value);

/// The most bytes write_indented_json() hands to its sink at once.
inline constexpr std::size_t kJsonPieceBytes = 64 * 1024;

/// The bytes of to_indented_json(value), made as they are written: handed to
/// `sink` in pieces of at most kJsonPieceBytes, so that the text of a deeply
/// nested value (which the indentation can make a hundred times longer than
/// its compact form) is never held whole.  Stops at the first piece that the
/// sink refuses and returns that failure.
Result<void> write_indented_json(const Json& value, const ByteSink& sink);

/// write_indented_json(*parse_json(text)) for a text that check_json()
/// accepted, made from the text itself: no value tree is built, and the
/// memory it takes is that of the member lists of the objects it is inside
/// (json_object_members()), however many values the text holds.
/// `top_members`, when not null, are the members of the text's top-level
/// object, found already (unused when the text is no object).
Result<void> write_indented_json_text(std::string_view text, const ByteSink& sink,
                                      const JsonMembers* top_members = nullptr);

/// Appends `text` as a quoted JSON string with the host's escapes (for writers
/// that lay out a record in a fixed member order).
void append_json_string(std::string& out, std::string_view text);

}  // namespace qlx
