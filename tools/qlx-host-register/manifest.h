#pragma once

// The native messaging host manifest: the file that tells a browser which
// program to start for "com.velmont.qlx" and which extensions may talk to it.

#include <span>
#include <string>
#include <string_view>

#include "base/names.h"
#include "platform/fs.h"

namespace qlx::host_register {

using qlx::kHostName;
using qlx::kQlxExtensionId;

/// The manifest's file name: "com.velmont.qlx.json".
inline constexpr std::string_view kManifestFileName = "com.velmont.qlx.json";

/// Whether `id` is an extension id as Chromium makes them: exactly 32 letters a to p.
bool is_extension_id(std::string_view id);

/// Everything that one run installs or removes.
struct Installation {
  Path host;                  // absolute path of the host executable
  Path manifest_path;         // the manifest beside the host
  std::string manifest_json;  // its text
};

/// The manifest for the host at `host` (absolute), allowing each of
/// `extension_ids` (already checked) as "chrome-extension://<id>/".
std::string manifest_text(const Path& host, std::span<const std::string> extension_ids);

/// Whether `text` is a manifest of "com.velmont.qlx" whose "path" is `host`:
/// one that this tool wrote for this host, whatever extensions it allows.
bool is_own_manifest(std::string_view text, const Path& host);

}  // namespace qlx::host_register
