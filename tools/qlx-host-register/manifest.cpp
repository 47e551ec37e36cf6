#include "manifest.h"

#include <algorithm>
#include <utility>

#include "base/json.h"
#include "base/member.h"
#include "browsers.h"

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

/// Whether `text` is "chrome-extension://<id>/" with a Chromium extension id.
bool is_extension_origin(std::string_view text) {
  constexpr std::string_view kScheme = "chrome-extension://";
  return text.starts_with(kScheme) && text.ends_with("/") &&
         is_extension_id(text.substr(kScheme.size(), text.size() - kScheme.size() - 1));
}

std::optional<std::string> string_or_none(const Json& object, std::string_view name) {
  const std::string* value = string_member(object, name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::string_view list_name(BrowserFamily family) {
  return family == BrowserFamily::kFirefox ? "allowed_extensions" : "allowed_origins";
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

Result<ParsedManifest> parse_manifest(BrowserFamily family, std::string_view text) {
  auto parsed = parse_json(text);
  if (!parsed) return fail("is not JSON: " + parsed.error().text);
  if (!parsed->is_object()) return fail("is not a JSON object");
  ParsedManifest manifest;
  manifest.name = string_or_none(*parsed, "name");
  manifest.type = string_or_none(*parsed, "type");
  manifest.path = string_or_none(*parsed, "path");
  if (auto list = parsed->find(list_name(family)); list != parsed->end()) manifest.allowed = *list;
  return manifest;
}

std::expected<ManifestFacts, ManifestRefusal> accepted_manifest(BrowserFamily family,
                                                                const ParsedManifest& manifest,
                                                                const Path& manifest_file) {
  auto malformed = [](std::string finding) {
    return std::unexpected(ManifestRefusal{ManifestRefusal::Kind::kMalformed, std::move(finding)});
  };
  if (manifest.name != kHostName) {
    return malformed((manifest.name ? "names \"" + *manifest.name + "\"" : "has no \"name\"") +
                     ", not \"" + std::string(kHostName) + "\"");
  }
  if (manifest.type != "stdio") {
    return malformed("has " +
                     (manifest.type ? "\"type\" \"" + *manifest.type + "\"" : "no \"type\"") +
                     ", not \"stdio\"");
  }
  if (!manifest.path || manifest.path->empty()) return malformed("has no \"path\"");
  ManifestFacts facts;
  facts.host = Path(std::u8string(manifest.path->begin(), manifest.path->end()));
  if (facts.host.is_relative() && resolves_relative_host_path()) {
    facts.host = manifest_file.parent_path() / facts.host;
  }
  if (!facts.host.is_absolute()) {
    return malformed("gives the host as \"" + *manifest.path + "\", not an absolute path");
  }
  const bool firefox = family == BrowserFamily::kFirefox;
  const std::string list(list_name(family));
  if (!manifest.allowed || !manifest.allowed->is_array()) {
    return malformed("has no \"" + list + "\" list");
  }
  for (const Json& entry : *manifest.allowed) {
    const bool good =
        entry.is_string() && (firefox ? is_addon_id(entry.get<std::string>())
                                      : is_extension_origin(entry.get<std::string>()));
    if (!good) {
      return malformed("lists " + to_compact_json(entry) + " in \"" + list + "\", not " +
                       (firefox ? "an add-on id" : "an origin \"chrome-extension://<id>/\""));
    }
  }
  if (manifest.allowed->empty()) {
    return std::unexpected(
        ManifestRefusal{ManifestRefusal::Kind::kNoneAllowed,
                        "lets no extension connect (\"" + list + "\" is empty)"});
  }
  facts.caller = manifest.allowed->front().get<std::string>();
  return facts;
}

bool is_own_manifest(std::string_view text, const Path& host) {
  auto manifest = parse_manifest(BrowserFamily::kChromium, text);
  return manifest && manifest->name == kHostName && manifest->path == path_to_utf8(host);
}

}  // namespace qlx::host_register
