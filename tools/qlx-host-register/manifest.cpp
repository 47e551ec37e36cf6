#include "manifest.h"

#include "base/json.h"

namespace qlx::host_register {

bool is_extension_id(std::string_view id) {
  if (id.size() != 32) return false;
  for (char c : id) {
    if (c < 'a' || c > 'p') return false;
  }
  return true;
}

std::string manifest_text(const Path& host, std::span<const std::string> extension_ids) {
  Json origins = Json::array();
  for (const std::string& id : extension_ids) origins.push_back("chrome-extension://" + id + "/");
  Json manifest = Json::object();
  manifest["name"] = std::string(kHostName);
  manifest["description"] = "QLX download manager: hands downloads from the browser to QLX";
  manifest["path"] = path_to_utf8(host);
  manifest["type"] = "stdio";
  manifest["allowed_origins"] = std::move(origins);
  return to_indented_json(manifest);
}

bool is_own_manifest(std::string_view text, const Path& host) {
  auto parsed = parse_json(text);
  if (!parsed || !parsed->is_object()) return false;
  const auto name = parsed->find("name");
  const auto path = parsed->find("path");
  return name != parsed->end() && name->is_string() && name->get<std::string>() == kHostName &&
         path != parsed->end() && path->is_string() &&
         path->get<std::string>() == path_to_utf8(host);
}

}  // namespace qlx::host_register
