#pragma once

// Where each supported browser looks for the current user's native messaging
// hosts, and how a registration is made and taken back there: one file per
// platform (browsers_posix.cpp: a copy of the manifest in each browser's
// NativeMessagingHosts folder, and in ~/.mozilla/native-messaging-hosts for
// Firefox; browsers_windows.cpp: a registry key per browser whose default
// value is the manifest's path).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "manifest.h"
#include "platform/fs.h"

namespace qlx::host_register {

/// One browser's registration place.
struct BrowserTarget {
  std::string browser;  // "Google Chrome"
  BrowserFamily family = BrowserFamily::kChromium;
  std::string location;  // what a person reads: a file path or "HKCU\...\com.velmont.qlx"
  Path file;             // POSIX: the manifest copy this browser reads
  Path config_root;      // POSIX: the user's configuration folder that holds the browser's
  std::string key;       // Windows: the key below HKEY_CURRENT_USER (UTF-8)
};

/// The program's arguments after its own name, as UTF-8 (on Windows taken
/// from the wide command line, so that any path survives).
std::vector<std::string> utf8_arguments(int argc, char** argv);

/// The host executable's file name on this platform.
std::string_view host_file_name();

/// The places of every supported browser for the current user, Firefox last;
/// fails when the user's folders cannot be found (no file is touched).  On
/// POSIX, Firefox is missing from the list when HOME holds no absolute path.
Result<std::vector<BrowserTarget>> browser_targets();

/// Registers the installation's manifest for the target's family with one
/// browser, replacing an earlier registration of "com.velmont.qlx" there.
Result<void> register_with(const BrowserTarget& target, const Installation& installation);

/// What a browser's place holds now.
enum class Registration {
  kNone,     // nothing of "com.velmont.qlx"
  kOurs,     // a registration of this installation's manifest for the browser's family
  kForeign,  // "com.velmont.qlx", but for another host or manifest: left alone
};
Registration registration_at(const BrowserTarget& target, const Installation& installation);

/// The manifest that a browser reads for "com.velmont.qlx": nullopt when
/// nothing is registered there at all; a failure when the registration itself
/// is broken (a Windows key without a usable default value).
Result<std::optional<Path>> registered_manifest(const BrowserTarget& target);

/// Removes a registration that registration_at() found to be kOurs, then the
/// folders (keys) above it that this leaves empty, up to the browser's own:
/// what registering created for a browser that was never installed.
Result<void> unregister_from(const BrowserTarget& target);

}  // namespace qlx::host_register
