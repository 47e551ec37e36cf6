#pragma once

// Where each supported browser looks for native messaging hosts, per user and
// per machine, and how a registration is made and taken back there: one file
// per platform (browsers_posix.cpp: a copy of the manifest in each browser's
// NativeMessagingHosts folder, in ~/.mozilla/native-messaging-hosts for
// Firefox, and in the browsers' system-wide folders; browsers_windows.cpp: a
// registry key per browser under HKCU or HKLM whose default value is the
// manifest's path).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "manifest.h"
#include "platform/fs.h"

namespace qlx::host_register {

/// Whose registrations: the current user's, or the machine's (every user's).
enum class Scope { kUser, kMachine };

/// One browser's registration place.
struct BrowserTarget {
  std::string browser;  // "Google Chrome"
  BrowserFamily family = BrowserFamily::kChromium;
  Scope scope = Scope::kUser;
  std::string location;  // what a person reads: a file path or "HKCU\...\com.velmont.qlx"
  Path file;             // POSIX: the manifest copy this browser reads
  Path config_root;      // POSIX: the folder above the browser's own, which is never removed
  std::string key;       // Windows: the key below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE (UTF-8)
  /// Where the browser's policies live: a folder of JSON files (POSIX) or a
  /// key below SOFTWARE\Policies (Windows); empty when it reads none of its own.
  std::string policy_place;
};

/// The program's arguments after its own name, as UTF-8 (on Windows taken
/// from the wide command line, so that any path survives).
std::vector<std::string> utf8_arguments(int argc, char** argv);

/// The host executable's file name on this platform.
std::string_view host_file_name();

/// Whether the browsers here take a manifest's relative "path" as relative
/// to the manifest's own folder (Windows); elsewhere it must be absolute.
bool resolves_relative_host_path();

/// The places of every supported browser for the current user, Firefox last;
/// fails when the user's folders cannot be found (no file is touched).  On
/// POSIX, Firefox is missing from the list when HOME holds no absolute path.
/// For Scope::kMachine, the machine's places of the browsers that have one
/// (on POSIX: Chrome, Chromium, Edge and Firefox, their folders taken under
/// `root`; `root` is unused on Windows).
Result<std::vector<BrowserTarget>> browser_targets(Scope scope = Scope::kUser,
                                                   const Path& root = {});

/// Whether system paths can be taken under another root (--root): POSIX only.
bool has_system_root();

/// How to run the tool with the rights that --system needs: "as root" on
/// POSIX, "from an administrator prompt" on Windows.
std::string_view system_rights_advice();

/// Whether this process may write the target's place; when not, the
/// system's text.  Checked for every target before a machine-wide
/// registration writes anything.
Result<void> check_writable(const BrowserTarget& target);

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
