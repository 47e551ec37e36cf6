#include "base/member.h"

namespace qlx {

const std::string* string_member(const Json& object, std::string_view name) {
  if (!object.is_object()) return nullptr;
  const auto member = object.find(name);
  if (member == object.end() || !member->is_string()) return nullptr;
  return &member->get_ref<const std::string&>();
}

}  // namespace qlx
