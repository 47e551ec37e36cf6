#include "base/message.h"

#include "base/json.h"

namespace qlx {

Result<Message> parse_message(std::string_view text) {
  Message message;
  if (auto checked = check_json(text, &message.members); !checked) {
    return fail(std::move(checked.error()));
  }
  return message;
}

Result<void> write_indented_message(const Message& message, const ByteSink& sink) {
  return write_indented_json_text(message.text(), sink, &message.members);
}

}  // namespace qlx
