#pragma once

// Where each supported browser looks for native messaging hosts, per user and
// per machine, how a registration is made and taken back there, and how to
// tell that the browser is installed: one table per platform
// (browsers_posix.cpp: a copy of the manifest in each browser's
// NativeMessagingHosts folder, in ~/.mozilla/native-messaging-hosts for
// Firefox, and in the browsers' system-wide folders; installed when its
// configuration folder or its program on PATH is there, or its Snap or
// Flatpak; browsers_windows.cpp: a registry key per browser under HKCU or
// HKLM, in both registry views for HKLM, whose default value is the
// manifest's path; installed when its user-data folder or its App Paths key
// is there).  What is the same everywhere is in browsers.cpp.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "manifest.h"
#include "platform/fs.h"

namespace qlx::host_register {

/// Whose registrations: the current user's, or the machine's (every user's).
enum class Scope { kUser, kMachine };

/// Which registry view a key of HKLM is in (Windows); kOnly where there is
/// one view (POSIX, and HKCU, which both views share).
enum class RegistryView { kOnly, k32Bit, k64Bit };

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
  /// Windows, per machine: the view of `key`.  The browsers read the 32-bit
  /// view first, so a registration rewrites a key there where one is, and
  /// makes none (`rewrite_only`).
  RegistryView view = RegistryView::kOnly;
  bool rewrite_only = false;
};

/// How a person reads a registry view: "32-bit view", "64-bit view"; "" for kOnly.
std::string_view view_label(RegistryView view);

/// How a person reads a place's scope: "per user", "per machine",
/// "per machine, 32-bit view".
std::string scope_label(const BrowserTarget& target);

/// A browser installed in a sandbox that keeps it from other programs (Linux).
struct SandboxInstall {
  std::string sandbox;  // "a Snap", "a Flatpak (per user)", "a Flatpak (per machine)"
  std::string where;    // the folder or program that shows it
};

/// What shows that one browser is installed here, as browser_presence() finds it.
struct BrowserPresence {
  std::string browser;  // "Google Chrome"
  /// The first sign outside a sandbox: a folder, a program or a registry key; empty: none.
  std::string found;
  std::vector<SandboxInstall> sandboxes;
};

/// Whether the browser of `presence` is installed, in a sandbox or not.
bool is_installed(const BrowserPresence& presence);

/// Every supported browser in the order of browser_targets(), with the signs
/// that it is installed for the current user.  POSIX: its configuration
/// folder (holding more than the hosts' folder that registering makes), its
/// program in a folder of PATH, its Snap (`root`/snap/<name>,
/// `root`/snap/bin/<name>) and its Flatpak (app/<id> in the user's Flatpak
/// folder below the local data folder, and in `root`/var/lib/flatpak).
/// Windows: its user-data folder below the local application-data folder
/// (Firefox: profiles.ini below the roaming one), or its App Paths key
/// (HKCU, or HKLM in either view); `root` is unused.  A folder that cannot
/// be found (no HOME) is a sign that is not there.
std::vector<BrowserPresence> browser_presence(const Path& root = {});

/// The names of `browsers`, separated by ", ".
std::string joined_names(std::span<const std::string> browsers);

/// The supported browsers' names in the order of browser_targets().
std::vector<std::string_view> browser_names();

/// The browser that `name` names, case aside: its full name ("Google
/// Chrome") or the last word of it ("chrome"); nullopt when none.
std::optional<std::string_view> browser_named(std::string_view name);

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
/// `root`; on Windows: each browser's key in the 32-bit view, then in the
/// 64-bit view, the order in which the browsers read them; `root` is unused
/// there).
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
