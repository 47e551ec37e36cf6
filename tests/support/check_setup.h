#pragma once

// Where qlx-host-register --check finds a browser's registration, and what
// shows it that a browser is installed, for the check tests: a scratch HOME
// and root on POSIX; the user's and the machine's registry and the
// application-data folders on Windows (under Wine, the build tree's own
// prefix), whose keys and files the tests remove again.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"
#include "child_process/child_process.h"
#include "platform/fs.h"

namespace qlx::testing_support {

/// The browsers that the tool knows, in its order.
enum class CheckedBrowser { kChrome, kChromium, kEdge, kBrave, kVivaldi, kOpera, kFirefox };
inline constexpr CheckedBrowser kEveryBrowser[] = {
    CheckedBrowser::kChrome, CheckedBrowser::kChromium, CheckedBrowser::kEdge,
    CheckedBrowser::kBrave,  CheckedBrowser::kVivaldi,  CheckedBrowser::kOpera,
    CheckedBrowser::kFirefox};

/// The lines of the tool's output, without their ends ("\r\n" on Windows).
std::vector<std::string> lines_of(const std::string& output);

/// The browser's name as the tool writes it: "Google Chrome".
std::string browser_name(CheckedBrowser browser);

/// Which of the registry's views a per-machine key is in (Windows; POSIX has one).
enum class MachineView { k64Bit, k32Bit };

/// The registration place of `browser` as the tool names it.
std::string registration_location(const Path& home, CheckedBrowser browser);

/// Registers the manifest `text` for `browser`: on POSIX as the file in the
/// browser's folder below `home`; on Windows as a file in `install` that the
/// browser's key names.  Returns the manifest's path as the tool reports it.
std::string place_manifest(const Path& home, const Path& install, CheckedBrowser browser,
                           std::string_view text);

/// The machine's registration place of `browser` as the tool names it
/// (POSIX: below the scratch root `root` that the tool is given with --root).
std::string machine_location(const Path& root, CheckedBrowser browser,
                             MachineView view = MachineView::k64Bit);

/// Registers the manifest `text` for `browser` per machine: on POSIX as the
/// file in the browser's system folder below `root`; on Windows as a file in
/// `install` that the browser's key under HKLM (in `view`) names.  Returns
/// the manifest's path as the tool reports it.
std::string place_machine_manifest(const Path& root, const Path& install, CheckedBrowser browser,
                                   std::string_view text, MachineView view = MachineView::k64Bit);

/// Whether there are two registry views to test (Windows: yes; POSIX: no).
extern const bool kHasRegistryViews;

/// How --check names the place that place_machine_manifest() makes by
/// default: "per machine" (POSIX), "per machine, 64-bit view" (Windows).
extern const std::string_view kMachineScope;

/// What --check names when `browser` has no registration anywhere: "<the
/// user's place> (per user) or <the machine's> (per machine)", every place
/// that the browser reads in its order.
std::string unregistered_places(const Path& home, const Path& root, CheckedBrowser browser);

/// The manifest that --check reports for a per-user registration that the
/// tool made for the host in `install`: the copy in the browser's folder on
/// POSIX, the manifest beside the host that the key names on Windows.
std::string registered_manifest(const Path& home, const Path& install, CheckedBrowser browser);

/// The browsers whose per-user registration place holds anything now.
std::vector<std::string> registered_browsers(const Path& home);

/// How a desktop shows that a browser is installed.
enum class InstallSign {
  kUserFolder,   // POSIX: its configuration folder with a file in it (Firefox: ~/.mozilla/firefox);
                 // Windows: its user-data folder (Firefox: profiles.ini in the roaming folder)
  kUserProgram,  // POSIX: its program in ~/.local/bin, on PATH; Windows: its App Paths key in HKCU
  kMachineProgram,  // POSIX: its program in <root>/usr/bin, on PATH; Windows: in HKLM
  // POSIX only: sandboxes below the scratch root and the local data folder.
  kSnap,            // <root>/snap/<name>, an empty folder, and the Snap's ~/snap/<name>
  kSnapProgram,     // <root>/snap/bin/<name>, a stub executable (<root>/snap/bin is on PATH)
  kFlatpakUser,     // <local data>/flatpak/app/<id>, and the Flatpak's ~/.var/app/<id>
  kFlatpakMachine,  // <root>/var/lib/flatpak/app/<id>
  // POSIX only: what looks like a sign and is none.
  kHostsFolderOnly,  // its configuration folder holding only NativeMessagingHosts, with another
                     // host
  kNotExecutable,    // its program in <root>/usr/bin without execute permission
};

/// Whether the sandbox signs can be made here (POSIX: yes; Windows: no).
extern const bool kHasSandboxes;

/// Makes `sign` of `browser` on the scratch desktop; returns the folder,
/// program or key that the tool names for it.
std::string place_sign(const Path& home, const Path& local, const Path& root,
                       CheckedBrowser browser, InstallSign sign);

/// The sandbox that the tool names for a sandbox sign: "a Snap", "a Flatpak (per user)"...
std::string_view sandbox_of(InstallSign sign);

/// A copy of the real host in `install`, for registrations that the tool writes beside it.
Path host_copy(const Path& install);

/// A host for per-machine manifests: the path that the manifest names, and
/// the path that the tool starts and reports (POSIX: a copy of the real host
/// below `root`, named by its path inside `root`; Windows: the real host).
struct MachineHost {
  std::string named;
  std::string reported;
};
MachineHost machine_host(const Path& root);

/// Sets Google Chrome's machine policies to the members of `policies` (an
/// object of lists and booleans): POSIX as a managed policy file below
/// `root`, Windows as values of HKLM\SOFTWARE\Policies\Google\Chrome.
/// Returns where the tool says they are set.
std::string set_chrome_policies(const Path& root, const Json& policies);

/// The arguments that point --check at the scratch root: {"--root", root} on POSIX, none on
/// Windows.
std::vector<std::string> root_arguments(const Path& root);

/// How the tool tells to run --system with its rights here.
extern const std::string_view kSystemRightsAdvice;

/// A host that the system cannot start: a file without execute permission on
/// POSIX, a folder on Windows (which has no execute permission).
Path unstartable_host(const Path& install);

/// Whether hosts can be made of shell scripts here (POSIX: yes; Windows: no).
extern const bool kHasScriptHosts;

/// A host made of the shell script `body`; only where kHasScriptHosts.
Path script_host(const Path& install, std::string_view body);

/// The environment for the tool: HOME and PATH (POSIX: ~/.local/bin,
/// <root>/usr/bin and <root>/snap/bin) and the local application-data folder.
std::vector<EnvChange> check_env(const Path& home, const Path& local_app_data, const Path& root);

/// Takes back every registration, policy and sign that the functions above
/// made outside the scratch folders (Windows: the keys and Firefox's profiles.ini).
void remove_registrations();

}  // namespace qlx::testing_support
