#include <cerrno>
#include <cstdlib>
#include <optional>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "browsers.h"
#include "platform/error.h"

namespace qlx::host_register {
namespace {

struct Browser {
  std::string_view name;
  std::string_view config_dir;  // below $XDG_CONFIG_HOME (or ~/.config)
  std::string_view system_dir;  // the machine's hosts; empty: the browser documents none
  std::string_view policy_dir;  // the managed policy files; empty: none
};

// Each browser reads the user's hosts from <its configuration folder>/NativeMessagingHosts,
// and the machine's from its system folder.  Brave, Vivaldi and Opera
// document no system-wide folder of their own.
constexpr Browser kBrowsers[] = {
    {"Google Chrome", "google-chrome", "/etc/opt/chrome/native-messaging-hosts",
     "/etc/opt/chrome/policies/managed"},
    {"Chromium", "chromium", "/etc/chromium/native-messaging-hosts",
     "/etc/chromium/policies/managed"},
    {"Microsoft Edge", "microsoft-edge", "/etc/opt/edge/native-messaging-hosts",
     "/etc/opt/edge/policies/managed"},
    {"Brave", "BraveSoftware/Brave-Browser", "", "/etc/brave/policies/managed"},
    {"Vivaldi", "vivaldi", "", ""},
    {"Opera", "opera", "", ""},
};

// Firefox reads the machine's hosts from here (named after the host, like the user's).
constexpr std::string_view kFirefoxSystemDir = "/usr/lib/mozilla/native-messaging-hosts";

/// `path` (absolute) taken under `root`; `path` itself when `root` is empty.
Path under_root(const Path& root, std::string_view path) {
  return root.empty() ? Path(path) : root / Path(path).relative_path();
}

/// The machine's registration places, under `root`.
std::vector<BrowserTarget> machine_targets(const Path& root) {
  std::vector<BrowserTarget> targets;
  auto add = [&](std::string_view name, BrowserFamily family, std::string_view dir,
                 std::string_view policy_dir) {
    BrowserTarget target;
    target.browser = name;
    target.family = family;
    target.scope = Scope::kMachine;
    target.file = under_root(root, dir) / kManifestFileName;
    // Registering creates at most the browser's own folder and the hosts' folder below it.
    target.config_root = target.file.parent_path().parent_path().parent_path();
    target.location = path_to_utf8(target.file);
    target.policy_place = policy_dir;
    targets.push_back(std::move(target));
  };
  for (const Browser& browser : kBrowsers) {
    if (!browser.system_dir.empty()) {
      add(browser.name, BrowserFamily::kChromium, browser.system_dir, browser.policy_dir);
    }
  }
  add("Firefox", BrowserFamily::kFirefox, kFirefoxSystemDir, "");
  return targets;
}

/// An environment variable's value when it is set to an absolute path.
std::optional<Path> absolute_from_env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return Path(value);
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
  std::optional<Path> config = absolute_from_env("XDG_CONFIG_HOME");
  if (!config) {
    if (!home)
      return fail(
          "cannot find your configuration folder: neither XDG_CONFIG_HOME nor HOME holds an "
          "absolute path");
    config = *home / ".config";
  }
  std::vector<BrowserTarget> targets;
  for (const Browser& browser : kBrowsers) {
    BrowserTarget target;
    target.browser = browser.name;
    target.config_root = *config;
    target.file = *config / browser.config_dir / "NativeMessagingHosts" / kManifestFileName;
    target.location = path_to_utf8(target.file);
    target.policy_place = browser.policy_dir;
    targets.push_back(std::move(target));
  }
  if (home) {
    // Firefox reads ~/.mozilla/native-messaging-hosts/<host name>.json.
    BrowserTarget firefox;
    firefox.browser = "Firefox";
    firefox.family = BrowserFamily::kFirefox;
    firefox.config_root = *home;
    firefox.file = *home / ".mozilla" / "native-messaging-hosts" / kManifestFileName;
    firefox.location = path_to_utf8(firefox.file);
    targets.push_back(std::move(firefox));
  }
  return targets;
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
  std::error_code failed;
  if (!std::filesystem::exists(std::filesystem::symlink_status(target.file, failed))) {
    return std::nullopt;
  }
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
