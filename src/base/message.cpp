#include "base/message.h"

#include "base/json.h"

namespace qlx {

Result<Message> parse_message(std::string_view text) {
  Message message{text, {}};
  if (auto checked = check_json(text, &message.members); !checked) {
    return fail(std::move(checked.error()));
  }
  return message;
}

Result<void> write_indented_message(const Message& message, const ByteSink& sink) {
  const bool is_object = message.text[json_value_start(message.text)] == '{';
  return write_indented_json_text(message.text, sink, is_object ? &message.members : nullptr);
}

}  // namespace qlx
