#include "manifest.h"

#include <algorithm>

#include "base/json.h"
#include "base/member.h"

namespace qlx::host_register {
namespace {

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_addon_name_char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
         c == '.' || c == '_';
}

/// "{8-4-4-4-12 hexadecimal digits}".
bool is_braced_uuid(std::string_view id) {
  constexpr std::string_view kShape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
  if (id.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < id.size(); ++i) {
    if (kShape[i] == 'x' ? !is_hex_digit(id[i]) : id[i] != kShape[i]) return false;
  }
  return true;
}

}  // namespace

bool is_extension_id(std::string_view id) {
  return id.size() == 32 && std::ranges::all_of(id, [](char c) { return c >= 'a' && c <= 'p'; });
}

bool is_addon_id(std::string_view id) {
  if (is_braced_uuid(id)) return true;
  const std::size_t at = id.find('@');
  if (at == std::string_view::npos || at + 1 == id.size()) return false;
  return std::ranges::all_of(id.substr(0, at), is_addon_name_char) &&
         std::ranges::all_of(id.substr(at + 1), is_addon_name_char);
}

std::string manifest_text(BrowserFamily family, const Path& host,
                          std::span<const std::string> ids) {
  Json allowed = Json::array();
  for (const std::string& id : ids) {
    allowed.push_back(family == BrowserFamily::kFirefox ? id : "chrome-extension://" + id + "/");
  }
  Json manifest = Json::object();
  manifest["name"] = std::string(kHostName);
  manifest["description"] = "QLX download manager: hands downloads from the browser to QLX";
  manifest["path"] = path_to_utf8(host);
  manifest["type"] = "stdio";
  manifest[family == BrowserFamily::kFirefox ? "allowed_extensions" : "allowed_origins"] =
      std::move(allowed);
  return to_indented_json(manifest);
}

bool is_own_manifest(std::string_view text, const Path& host) {
  auto parsed = parse_json(text);
  if (!parsed) return false;
  const std::string* name = string_member(*parsed, "name");
  const std::string* path = string_member(*parsed, "path");
  return name != nullptr && *name == kHostName && path != nullptr && *path == path_to_utf8(host);
}

}  // namespace qlx::host_register
