#include <cstdlib>
#include <optional>
#include <system_error>

#include "browsers.h"
#include "platform/error.h"

namespace qlx::host_register {
namespace {

struct Browser {
  std::string_view name;
  std::string_view config_dir;  // below $XDG_CONFIG_HOME (or ~/.config)
};

// Each browser reads the user's hosts from <its configuration folder>/NativeMessagingHosts.
constexpr Browser kBrowsers[] = {
    {"Google Chrome", "google-chrome"},
    {"Chromium", "chromium"},
    {"Microsoft Edge", "microsoft-edge"},
    {"Brave", "BraveSoftware/Brave-Browser"},
    {"Vivaldi", "vivaldi"},
    {"Opera", "opera"},
};

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

Result<std::vector<BrowserTarget>> browser_targets() {
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

Result<void> register_with(const BrowserTarget& target, const Installation& installation) {
  std::error_code error;
  std::filesystem::create_directories(target.file.parent_path(), error);
  if (error) return fail(system_failure(error.value()));
  return write_file(target.file, installation.manifest_for(target.family).json);
}

Registration registration_at(const BrowserTarget& target, const Installation& installation) {
  if (!path_exists(target.file)) return Registration::kNone;
  auto text = read_file(target.file);
  if (!text) return Registration::kForeign;
  return is_own_manifest(*text, installation.host) ? Registration::kOurs : Registration::kForeign;
}

Result<std::optional<Path>> registered_manifest(const BrowserTarget& target) {
  if (!path_exists(target.file)) return std::nullopt;
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
