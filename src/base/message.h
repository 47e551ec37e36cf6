#pragma once

#include <string_view>

#include "base/byte_sink.h"
#include "base/failure.h"
#include "base/json_scan.h"

namespace qlx {

/// One message from the browser: its JSON text, checked whole, and the
/// members of its top-level object.  No value tree is built: what a handler
/// needs it asks for by name (base/member.h), and a message handed on whole
/// is written from its text.  Views the text, which must outlive it.
struct Message {
  JsonMembers members;  // of the text's top-level object; none when the text is no object

  std::string_view text() const { return members.text; }
};

/// The message of a text shorter than 2 GiB, or the failure that
/// parse_json(text) would give.
Result<Message> parse_message(std::string_view text);

/// The message's text in the form of files (to_indented_json() of its value),
/// handed to `sink` piece by piece: write_indented_json_text().
Result<void> write_indented_message(const Message& message, const ByteSink& sink);

}  // namespace qlx
