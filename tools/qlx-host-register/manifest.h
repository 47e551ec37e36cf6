#pragma once

// The native messaging host manifests: the files that tell a browser which
// program to start for "com.velmont.qlx" and which extensions may talk to it.
// Chromium-based browsers read "allowed_origins", Firefox "allowed_extensions";
// each family gets its own file beside the host.

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/json.h"
#include "base/names.h"
#include "platform/fs.h"

namespace qlx::host_register {

using qlx::kHostName;
using qlx::kQlxExtensionId;

/// The manifest's file name: "com.velmont.qlx.json".  Firefox's folder on
/// Linux needs its copy under this name too.
inline constexpr std::string_view kManifestFileName = "com.velmont.qlx.json";

/// The Firefox manifest's file name beside the host.
inline constexpr std::string_view kFirefoxManifestFileName = "com.velmont.qlx.firefox.json";

/// Which manifest a browser reads.
enum class BrowserFamily { kChromium, kFirefox };

/// Whether `id` is an extension id as Chromium makes them: exactly 32 letters a to p.
bool is_extension_id(std::string_view id);

/// Whether `id` is a Firefox add-on id as Firefox accepts them: "{" a UUID "}"
/// or "name@domain" (letters, digits, "-", "." and "_" around one "@"; the
/// domain not empty, the name may be, as in "@testpilot-containers").
bool is_addon_id(std::string_view id);

/// One manifest file beside the host.
struct ManifestFile {
  Path path;
  std::string json;  // empty: this family is left alone
};

/// Everything that one run installs or removes.
struct Installation {
  Path host;              // absolute path of the host executable
  ManifestFile chromium;  // com.velmont.qlx.json
  ManifestFile firefox;   // com.velmont.qlx.firefox.json

  const ManifestFile& manifest_for(BrowserFamily family) const {
    return family == BrowserFamily::kFirefox ? firefox : chromium;
  }
};

/// The manifest for the host at `host` (absolute) that lets each of `ids`
/// (already checked) connect: as "chrome-extension://<id>/" in
/// "allowed_origins" for Chromium, as add-on ids in "allowed_extensions" for Firefox.
std::string manifest_text(BrowserFamily family, const Path& host, std::span<const std::string> ids);

/// A manifest's members as a browser reads them: a member that is missing or
/// not a string is nullopt; `allowed` is the family's list member
/// ("allowed_origins" or "allowed_extensions") of any JSON type, or nullopt.
struct ParsedManifest {
  std::optional<std::string> name;
  std::optional<std::string> type;
  std::optional<std::string> path;
  std::optional<Json> allowed;
};

/// Reads a manifest's text for a browser of `family`.  Fails when the text
/// is no JSON object, with what follows "the manifest <file> " in a finding:
/// "is not JSON: <why>" or "is not a JSON object".
Result<ParsedManifest> parse_manifest(BrowserFamily family, std::string_view text);

/// What the browser takes from a manifest that it accepts.
struct ManifestFacts {
  Path host;           // absolute
  std::string caller;  // the first allowed origin or add-on id
};

/// Why a browser refuses a manifest.
struct ManifestRefusal {
  enum class Kind {
    kMalformed,   // the browser finds no usable host: "not found"
    kNoneAllowed  // the list is empty: no extension may connect, "forbidden"
  };
  Kind kind = Kind::kMalformed;
  std::string finding;  // what follows "the manifest <file> "
};

/// Judges a parsed manifest, read from `manifest_file`, as a browser of
/// `family` does: "name" is "com.velmont.qlx", "type" "stdio", "path"
/// absolute (on Windows a relative one names the host in the manifest's
/// folder: "qlx-native-host.exe" beside it), and the list holds only origins
/// "chrome-extension://<id>/" (Firefox: add-on ids), at least one.
std::expected<ManifestFacts, ManifestRefusal> accepted_manifest(BrowserFamily family,
                                                                const ParsedManifest& manifest,
                                                                const Path& manifest_file);

/// Whether `text` is a manifest of "com.velmont.qlx" whose "path" is `host`:
/// one that this tool wrote for this host, whatever extensions it allows.
bool is_own_manifest(std::string_view text, const Path& host);

}  // namespace qlx::host_register
