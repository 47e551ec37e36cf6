#pragma once

#include <string>
#include <string_view>

#include "base/json.h"

namespace qlx {

/// The text of the member `name` of `object`; nullptr when `object` is not an
/// object, has no such member, or the member is not a string.
const std::string* string_member(const Json& object, std::string_view name);

}  // namespace qlx
