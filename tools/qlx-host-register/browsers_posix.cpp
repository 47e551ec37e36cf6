#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <span>
#include <system_error>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "browsers.h"
#include "check.h"
#include "platform/dir_entries.h"
#include "platform/error.h"
#include "platform/known_folder.h"

namespace qlx::host_register {
namespace {

struct Browser {
  std::string_view name;
  BrowserFamily family;
  /// The folder that holds the user's hosts: below $XDG_CONFIG_HOME (or
  /// ~/.config) for the Chromium family, below HOME for Firefox.
  std::string_view user_hosts;
  std::string_view system_dir;  // the machine's hosts; empty: the browser documents none
  std::string_view policy_dir;  // the managed policy files; empty: none
  // How to tell that the browser is installed:
  std::string_view config_dir;  // its own folder, beside the hosts' base (Firefox: below HOME)
  std::array<std::string_view, 2> programs;  // its program's names on PATH
  std::string_view snap;                     // /snap/<snap>, /snap/bin/<snap>; empty: none
  std::string_view flatpak;                  // app/<id> in Flatpak's folders; empty: none
};

// Each Chromium-family browser reads the user's hosts from <its configuration
// folder>/NativeMessagingHosts and the machine's from its system folder;
// Brave, Vivaldi and Opera document no system-wide folder of their own.
// Firefox reads ~/.mozilla/native-messaging-hosts/<host name>.json and
// /usr/lib/mozilla/native-messaging-hosts (named after the host, like the
// user's), and keeps its profiles in ~/.mozilla/firefox.
constexpr Browser kBrowsers[] = {
    {"Google Chrome",
     BrowserFamily::kChromium,
     "google-chrome/NativeMessagingHosts",
     "/etc/opt/chrome/native-messaging-hosts",
     "/etc/opt/chrome/policies/managed",
     "google-chrome",
     {"google-chrome", "google-chrome-stable"},
     "google-chrome",
     "com.google.Chrome"},
    {"Chromium",
     BrowserFamily::kChromium,
     "chromium/NativeMessagingHosts",
     "/etc/chromium/native-messaging-hosts",
     "/etc/chromium/policies/managed",
     "chromium",
     {"chromium", "chromium-browser"},
     "chromium",
     "org.chromium.Chromium"},
    {"Microsoft Edge",
     BrowserFamily::kChromium,
     "microsoft-edge/NativeMessagingHosts",
     "/etc/opt/edge/native-messaging-hosts",
     "/etc/opt/edge/policies/managed",
     "microsoft-edge",
     {"microsoft-edge", "microsoft-edge-stable"},
     "microsoft-edge",
     "com.microsoft.Edge"},
    {"Brave",
     BrowserFamily::kChromium,
     "BraveSoftware/Brave-Browser/NativeMessagingHosts",
     "",
     "/etc/brave/policies/managed",
     "BraveSoftware/Brave-Browser",
     {"brave-browser", "brave"},
     "brave",
     "com.brave.Browser"},
    {"Vivaldi",
     BrowserFamily::kChromium,
     "vivaldi/NativeMessagingHosts",
     "",
     "",
     "vivaldi",
     {"vivaldi", "vivaldi-stable"},
     "",
     ""},
    {"Opera",
     BrowserFamily::kChromium,
     "opera/NativeMessagingHosts",
     "",
     "",
     "opera",
     {"opera", ""},
     "",
     ""},
    {"Firefox",
     BrowserFamily::kFirefox,
     ".mozilla/native-messaging-hosts",
     "/usr/lib/mozilla/native-messaging-hosts",
     "",
     ".mozilla/firefox",
     {"firefox", "firefox-esr"},
     "firefox",
     "org.mozilla.firefox"},
};

// Flatpak's machine-wide installation, and the user's below the local data folder.
constexpr std::string_view kFlatpakSystemDir = "/var/lib/flatpak";
constexpr std::string_view kFlatpakUserDir = "flatpak";
constexpr std::string_view kSnapDir = "/snap";

/// `path` (absolute) taken under `root`; `path` itself when `root` is empty.
Path under_root(const Path& root, std::string_view path) {
  return root.empty() ? Path(path) : root / Path(path).relative_path();
}

/// The machine's registration places, under `root`.
std::vector<BrowserTarget> machine_targets(const Path& root) {
  std::vector<BrowserTarget> targets;
  for (const Browser& browser : kBrowsers) {
    if (browser.system_dir.empty()) continue;
    BrowserTarget target;
    target.browser = browser.name;
    target.family = browser.family;
    target.scope = Scope::kMachine;
    target.file = under_root(root, browser.system_dir) / kManifestFileName;
    // Registering creates at most the browser's own folder and the hosts' folder below it.
    target.config_root = target.file.parent_path().parent_path().parent_path();
    target.location = path_to_utf8(target.file);
    target.policy_place = browser.policy_dir;
    targets.push_back(std::move(target));
  }
  return targets;
}

/// An environment variable's value when it is set to an absolute path.
std::optional<Path> absolute_from_env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return Path(value);
}

/// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config.
std::optional<Path> config_home(const std::optional<Path>& home) {
  if (std::optional<Path> config = absolute_from_env("XDG_CONFIG_HOME")) return config;
  if (home) return *home / ".config";
  return std::nullopt;
}

/// The folder below which `browser`'s per-user folders lie, if it can be found.
const std::optional<Path>& base_of(const Browser& browser, const std::optional<Path>& home,
                                   const std::optional<Path>& config) {
  return browser.family == BrowserFamily::kFirefox ? home : config;
}

/// Whether there is an entry at `path`; a link counts as it is, wherever it leads.
bool entry_exists(const Path& path) {
  std::error_code failed;
  return std::filesystem::exists(std::filesystem::symlink_status(path, failed));
}

/// Whether the browser's own folder at `folder` holds anything but the
/// hosts' folder, which registering makes there for a browser that may never
/// have run.
bool holds_more_than_hosts(const Path& folder) {
  auto names = dir_entry_names(folder);
  return names && std::ranges::any_of(
                      *names, [](const Path& name) { return name != "NativeMessagingHosts"; });
}

/// The first of `names` in a folder of PATH (absolute folders only, in
/// their order) that is an executable file; empty when none is.
Path program_on_path(std::span<const std::string_view> names) {
  const char* value = std::getenv("PATH");
  if (value == nullptr) return {};
  for (std::string_view name : names) {
    if (name.empty()) continue;
    for (std::string_view folders(value);;) {
      const std::size_t end = folders.find(':');
      const std::string_view folder = folders.substr(0, end);
      if (folder.starts_with('/') && is_executable_file(Path(folder) / name)) {
        return Path(folder) / name;
      }
      if (end == std::string_view::npos) break;
      folders.remove_prefix(end + 1);
    }
  }
  return {};
}

/// Where the browser is installed in a sandbox: its Snap below `root`, its
/// Flatpak in the user's `flatpak_user` (empty: none) and the machine's folder.
std::vector<SandboxInstall> sandboxes_of(const Browser& browser, const Path& root,
                                         const Path& flatpak_user) {
  std::vector<SandboxInstall> found;
  if (!browser.snap.empty()) {
    const Path snap = under_root(root, kSnapDir);
    for (const Path& where : {snap / browser.snap, snap / "bin" / browser.snap}) {
      if (entry_exists(where)) {
        found.push_back({"a Snap", path_to_utf8(where)});
        break;
      }
    }
  }
  if (!browser.flatpak.empty()) {
    const std::pair<std::string_view, Path> installations[] = {
        {"a Flatpak (per user)", flatpak_user},
        {"a Flatpak (per machine)", under_root(root, kFlatpakSystemDir)}};
    for (const auto& [sandbox, folder] : installations) {
      if (folder.empty()) continue;
      const Path app = folder / "app" / browser.flatpak;
      if (qlx::is_directory(app)) found.push_back({std::string(sandbox), path_to_utf8(app)});
    }
  }
  return found;
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string_view host_file_name() {
  return "qlx-native-host";
}

bool resolves_relative_host_path() {
  return false;
}

Result<std::vector<BrowserTarget>> browser_targets(Scope scope, const Path& root) {
  if (scope == Scope::kMachine) return machine_targets(root);
  const std::optional<Path> home = absolute_from_env("HOME");
  const std::optional<Path> config = config_home(home);
  if (!config) {
    return fail(
        "cannot find your configuration folder: neither XDG_CONFIG_HOME nor HOME holds an "
        "absolute path");
  }
  std::vector<BrowserTarget> targets;
  for (const Browser& browser : kBrowsers) {
    // Firefox's folder is below HOME alone.
    const std::optional<Path>& base = base_of(browser, home, config);
    if (!base) continue;
    BrowserTarget target;
    target.browser = browser.name;
    target.family = browser.family;
    target.config_root = *base;
    target.file = *base / browser.user_hosts / kManifestFileName;
    target.location = path_to_utf8(target.file);
    target.policy_place = browser.policy_dir;
    targets.push_back(std::move(target));
  }
  return targets;
}

std::vector<BrowserPresence> browser_presence(const Path& root) {
  const std::optional<Path> home = absolute_from_env("HOME");
  const std::optional<Path> config = config_home(home);
  auto data = local_app_data_folder();
  const Path flatpak_user = data ? *data / kFlatpakUserDir : Path();
  std::vector<BrowserPresence> found;
  for (const Browser& browser : kBrowsers) {
    BrowserPresence presence;
    presence.browser = browser.name;
    const std::optional<Path>& base = base_of(browser, home, config);
    if (base && holds_more_than_hosts(*base / browser.config_dir)) {
      presence.found = path_to_utf8(*base / browser.config_dir);
    } else if (const Path program = program_on_path(browser.programs); !program.empty()) {
      presence.found = path_to_utf8(program);
    }
    presence.sandboxes = sandboxes_of(browser, root, flatpak_user);
    found.push_back(std::move(presence));
  }
  return found;
}

std::vector<std::string_view> browser_names() {
  std::vector<std::string_view> names;
  for (const Browser& browser : kBrowsers) names.push_back(browser.name);
  return names;
}

bool has_system_root() {
  return true;
}

std::string_view system_rights_advice() {
  return "as root (sudo)";
}

Result<void> check_writable(const BrowserTarget& target) {
  // The file itself when it is there, else the nearest folder above it that is.
  Path place = target.file;
  while (!path_exists(place) && place.has_relative_path()) place = place.parent_path();
  const int wanted = place == target.file ? W_OK : W_OK | X_OK;
  if (::access(place.c_str(), wanted) != 0) {
    return fail("cannot write " + path_to_utf8(place) + ": " + system_failure(errno).text);
  }
  return {};
}

Result<void> register_with(const BrowserTarget& target, const Installation& installation) {
  std::error_code error;
  std::filesystem::create_directories(target.file.parent_path(), error);
  if (error) return fail(system_failure(error.value()));
  if (auto written = write_file(target.file, installation.manifest_for(target.family).json);
      !written) {
    return written;
  }
  // Every user's browser reads the machine's copy (a new file is the owner's only).
  if (target.scope == Scope::kMachine && ::chmod(target.file.c_str(), 0644) != 0) {
    return fail(system_failure(errno));
  }
  return {};
}

Registration registration_at(const BrowserTarget& target, const Installation& installation) {
  if (!path_exists(target.file)) return Registration::kNone;
  auto text = read_file(target.file);
  if (!text) return Registration::kForeign;
  return is_own_manifest(*text, installation.host) ? Registration::kOurs : Registration::kForeign;
}

Result<std::optional<Path>> registered_manifest(const BrowserTarget& target) {
  // A link counts as it is, wherever it leads (a package's link leads to its
  // files, which --root finds under the root).
  if (!entry_exists(target.file)) return std::nullopt;
  return target.file;
}

Result<void> unregister_from(const BrowserTarget& target) {
  if (auto removed = remove_file(target.file); !removed) return removed;
  std::error_code failed;
  for (Path folder = target.file.parent_path();
       folder != target.config_root && folder.has_relative_path(); folder = folder.parent_path()) {
    if (!std::filesystem::is_empty(folder, failed) || failed) break;
    if (!std::filesystem::remove(folder, failed)) break;
  }
  return {};
}

}  // namespace qlx::host_register
