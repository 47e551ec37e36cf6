#pragma once

// Where each supported browser looks for the current user's native messaging
// hosts, and how a registration is made and taken back there: one file per
// platform (browsers_posix.cpp: a copy of the manifest in each browser's
// NativeMessagingHosts folder; browsers_windows.cpp: a registry key per
// browser whose default value is the manifest's path).

#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "manifest.h"
#include "platform/fs.h"

namespace qlx::host_register {

/// One browser's registration place.
struct BrowserTarget {
  std::string browser;   // "Google Chrome"
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

/// The places of every supported browser for the current user; fails when
/// the user's folders cannot be found (no file is touched).
Result<std::vector<BrowserTarget>> browser_targets();

/// Registers the installation with one browser, replacing an earlier
/// registration of "com.velmont.qlx" there.
Result<void> register_with(const BrowserTarget& target, const Installation& installation);

/// What a browser's place holds now.
enum class Registration {
  kNone,     // nothing of "com.velmont.qlx"
  kOurs,     // a registration of this installation
  kForeign,  // "com.velmont.qlx", but for another host or manifest: left alone
};
Registration registration_at(const BrowserTarget& target, const Installation& installation);

/// Removes a registration that registration_at() found to be kOurs, then the
/// folders (keys) above it that this leaves empty, up to the browser's own:
/// what registering created for a browser that was never installed.
Result<void> unregister_from(const BrowserTarget& target);

}  // namespace qlx::host_register
