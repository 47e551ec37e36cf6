// qlx-host-register: makes the native messaging host known to the browsers of
// the current user, or takes it back.
//
//   qlx-host-register [--dry-run] [--host PATH] [--firefox-extension ID]... [EXTENSION_ID...]
//   qlx-host-register --uninstall [--dry-run] [--host PATH]
//   qlx-host-register --check
//
// Writes the manifest "com.velmont.qlx.json" beside the host, allowing each
// EXTENSION_ID (the QLX extension's when none is given), then registers it
// with Chrome, Chromium, Edge, Brave, Vivaldi and Opera; with
// --firefox-extension, also "com.velmont.qlx.firefox.json" for Firefox.
// --uninstall removes those registrations and manifests, and only where they
// name this host.  --check tells, per browser, whether the browser can reach
// the host, and what to do when it cannot (check.h).
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/json.h"
#include "base/utf8.h"
#include "browsers.h"
#include "check.h"
#include "manifest.h"

namespace {

using namespace qlx::host_register;
using qlx::Path;

enum class Action { kRegister, kUninstall, kCheck };
enum class Mode { kApply, kDryRun };

struct Options {
  Action action = Action::kRegister;
  Mode mode = Mode::kApply;
  std::optional<Path> host;
  std::vector<std::string> extension_ids;
  std::vector<std::string> addon_ids;  // Firefox's; none: Firefox is left alone
};

constexpr std::string_view kUsage =
    "usage: qlx-host-register [--dry-run] [--host PATH] [--firefox-extension ID]...\n"
    "                         [EXTENSION_ID...]\n"
    "       qlx-host-register --uninstall [--dry-run] [--host PATH]\n"
    "       qlx-host-register --check\n"
    "\n"
    "Writes the native messaging host manifest com.velmont.qlx.json beside the host\n"
    "and registers it for the current user with Chrome, Chromium, Edge, Brave,\n"
    "Vivaldi and Opera.  Each EXTENSION_ID (32 letters a to p) may connect to the\n"
    "host; without one, the QLX extension may.\n"
    "\n"
    "  --host PATH               the host executable (default: qlx-native-host beside\n"
    "                            this tool)\n"
    "  --firefox-extension ID    also register com.velmont.qlx.firefox.json with\n"
    "                            Firefox, for the add-on ID (name@domain or {uuid});\n"
    "                            may be repeated; without it Firefox is left alone\n"
    "  --dry-run                 print what would be done, change nothing\n"
    "  --uninstall               remove the registrations and the manifests of this host\n"
    "  --check                   tell, per browser, whether it can reach the host that is\n"
    "                            registered there, and what fixes it when not; exits 0\n"
    "                            when at least one browser is registered and all\n"
    "                            registered ones pass, 1 otherwise\n";

int usage_error(std::string_view text) {
  std::cerr << "qlx-host-register: " << text << "\n\n" << kUsage;
  return 2;
}

int error(std::string_view text) {
  std::cerr << "qlx-host-register: " << text << "\n";
  return 1;
}

/// The host executable's absolute path, or why it cannot be used.
qlx::Result<Path> resolve_host(const Options& options) {
  Path host;
  if (options.host) {
    if (options.host->empty()) return qlx::fail("the host path is empty");
    std::error_code failed;
    host = std::filesystem::absolute(*options.host, failed);
    if (failed) return qlx::fail("cannot make the host path absolute: " + failed.message());
  } else {
    auto self = qlx::current_executable_path();
    if (!self) return qlx::fail("cannot find this program's own folder: " + self.error().text);
    host = self->parent_path() / host_file_name();
  }
  host = host.lexically_normal();
  const std::string text = qlx::path_to_utf8(host);
  if (!qlx::is_valid_utf8(text) ||
      Path(std::u8string(text.begin(), text.end())).native() != host.native()) {
    return qlx::fail("the host path cannot be written in a manifest (it is not valid Unicode): " +
                     text);
  }
  if (options.action == Action::kRegister) {
    if (!qlx::path_exists(host)) return qlx::fail("no host executable at " + text);
    if (qlx::is_directory(host)) return qlx::fail(text + " is a folder, not the host executable");
  }
  return host;
}

/// The manifests that a registration writes: Chromium's always, Firefox's
/// when add-on ids were given.
std::vector<const ManifestFile*> manifests_written(const Installation& installation) {
  std::vector<const ManifestFile*> files{&installation.chromium};
  if (!installation.firefox.json.empty()) files.push_back(&installation.firefox);
  return files;
}

int register_host(const Options& options, const Installation& installation,
                  const std::vector<BrowserTarget>& all_targets) {
  std::vector<BrowserTarget> targets;
  for (const BrowserTarget& target : all_targets) {
    if (!installation.manifest_for(target.family).json.empty()) targets.push_back(target);
  }
  if (!installation.firefox.json.empty() &&
      std::ranges::none_of(targets, [](const BrowserTarget& target) {
        return target.family == BrowserFamily::kFirefox;
      })) {
    return error("cannot find Firefox's folder: HOME holds no absolute path");
  }
  if (options.mode == Mode::kDryRun) {
    for (const ManifestFile* file : manifests_written(installation)) {
      std::cout << "would write " << qlx::path_to_utf8(file->path) << ":\n" << file->json << "\n";
    }
    for (const BrowserTarget& target : targets) {
      std::cout << "would register with " << target.browser << ": " << target.location << "\n";
    }
    return 0;
  }
  for (const ManifestFile* file : manifests_written(installation)) {
    const std::string manifest = qlx::path_to_utf8(file->path);
    if (auto written = qlx::write_file(file->path, file->json); !written) {
      return error("cannot write " + manifest + ": " + written.error().text);
    }
    std::cout << "wrote " << manifest << "\n";
  }
  int status = 0;
  for (const BrowserTarget& target : targets) {
    if (auto done = register_with(target, installation); !done) {
      std::cerr << "qlx-host-register: cannot register with " << target.browser << " at "
                << target.location << ": " << done.error().text << "\n";
      status = 1;
      continue;
    }
    std::cout << "registered with " << target.browser << ": " << target.location << "\n";
  }
  return status;
}

int uninstall_host(const Options& options, const Installation& installation,
                   const std::vector<BrowserTarget>& targets) {
  const bool dry = options.mode == Mode::kDryRun;
  int status = 0;
  for (const BrowserTarget& target : targets) {
    switch (registration_at(target, installation)) {
      case Registration::kNone:
        break;
      case Registration::kForeign:
        std::cout << "left alone for " << target.browser
                  << " (it names another host): " << target.location << "\n";
        break;
      case Registration::kOurs:
        if (dry) {
          std::cout << "would remove from " << target.browser << ": " << target.location << "\n";
        } else if (auto removed = unregister_from(target); !removed) {
          std::cerr << "qlx-host-register: cannot remove from " << target.browser << " at "
                    << target.location << ": " << removed.error().text << "\n";
          status = 1;
        } else {
          std::cout << "removed from " << target.browser << ": " << target.location << "\n";
        }
        break;
    }
  }
  for (const ManifestFile* file : {&installation.chromium, &installation.firefox}) {
    const std::string manifest = qlx::path_to_utf8(file->path);
    if (!qlx::path_exists(file->path)) continue;
    auto text = qlx::read_file(file->path);
    if (!text || !is_own_manifest(*text, installation.host)) {
      std::cout << "left alone " << manifest << " (not a manifest of this host)\n";
    } else if (dry) {
      std::cout << "would remove " << manifest << "\n";
    } else if (auto removed = qlx::remove_file(file->path); !removed) {
      std::cerr << "qlx-host-register: cannot remove " << manifest << ": " << removed.error().text
                << "\n";
      status = 1;
    } else {
      std::cout << "removed " << manifest << "\n";
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::vector<std::string> args = utf8_arguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--dry-run") {
      options.mode = Mode::kDryRun;
    } else if (arg == "--uninstall") {
      options.action = Action::kUninstall;
    } else if (arg == "--check") {
      options.action = Action::kCheck;
    } else if (arg == "--firefox-extension") {
      if (++i == args.size()) return usage_error("--firefox-extension needs an add-on id");
      if (!is_addon_id(args[i])) {
        return usage_error("not a Firefox add-on id (name@domain or {uuid}): " + args[i]);
      }
      if (std::ranges::find(options.addon_ids, args[i]) == options.addon_ids.end()) {
        options.addon_ids.push_back(args[i]);
      }
    } else if (arg == "--host") {
      if (++i == args.size()) return usage_error("--host needs a path");
      options.host = Path(std::u8string(args[i].begin(), args[i].end()));
    } else if (arg.starts_with("-")) {
      return usage_error("unknown option " + arg);
    } else if (!is_extension_id(arg)) {
      return usage_error("not an extension id (32 letters a to p): " + arg);
    } else if (std::ranges::find(options.extension_ids, arg) == options.extension_ids.end()) {
      options.extension_ids.push_back(arg);
    }
  }
  const bool has_ids = !options.extension_ids.empty() || !options.addon_ids.empty();
  if (options.action == Action::kUninstall && has_ids) {
    return usage_error("--uninstall takes no extension ids");
  }
  if (options.action == Action::kCheck) {
    if (has_ids || options.host || options.mode == Mode::kDryRun || args.size() != 1) {
      return usage_error("--check takes no other arguments");
    }
    auto targets = browser_targets();
    if (!targets) return error(targets.error().text);
    return check_browsers(*targets, std::cout);
  }
  if (options.extension_ids.empty()) options.extension_ids.emplace_back(kQlxExtensionId);

  auto host = resolve_host(options);
  if (!host) return error(host.error().text);
  Installation installation;
  installation.host = *host;
  installation.chromium.path = host->parent_path() / kManifestFileName;
  installation.chromium.json =
      manifest_text(BrowserFamily::kChromium, *host, options.extension_ids);
  installation.firefox.path = host->parent_path() / kFirefoxManifestFileName;
  if (!options.addon_ids.empty()) {
    installation.firefox.json = manifest_text(BrowserFamily::kFirefox, *host, options.addon_ids);
  }

  auto targets = browser_targets();
  if (!targets) return error(targets.error().text);
  return options.action == Action::kRegister ? register_host(options, installation, *targets)
                                             : uninstall_host(options, installation, *targets);
}
