// qlx-host-register: makes the native messaging host known to the browsers of
// the current user, or takes it back.
//
//   qlx-host-register [--dry-run] [--host PATH] [EXTENSION_ID...]
//   qlx-host-register --uninstall [--dry-run] [--host PATH]
//
// Writes the manifest "com.velmont.qlx.json" beside the host, allowing each
// EXTENSION_ID (the QLX extension's when none is given), then registers it
// with Chrome, Chromium, Edge, Brave, Vivaldi and Opera.  --uninstall removes
// those registrations and the manifest, and only where they name this host.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/json.h"
#include "browsers.h"
#include "manifest.h"

namespace {

using namespace qlx::host_register;
using qlx::Path;

enum class Action { kRegister, kUninstall };
enum class Mode { kApply, kDryRun };

struct Options {
  Action action = Action::kRegister;
  Mode mode = Mode::kApply;
  std::optional<Path> host;
  std::vector<std::string> extension_ids;
};

constexpr std::string_view kUsage =
    "usage: qlx-host-register [--dry-run] [--host PATH] [EXTENSION_ID...]\n"
    "       qlx-host-register --uninstall [--dry-run] [--host PATH]\n"
    "\n"
    "Writes the native messaging host manifest com.velmont.qlx.json beside the host\n"
    "and registers it for the current user with Chrome, Chromium, Edge, Brave,\n"
    "Vivaldi and Opera.  Each EXTENSION_ID (32 letters a to p) may connect to the\n"
    "host; without one, the QLX extension may.\n"
    "\n"
    "  --host PATH   the host executable (default: qlx-native-host beside this tool)\n"
    "  --dry-run     print what would be done, change nothing\n"
    "  --uninstall   remove the registrations and the manifest of this host\n";

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

int register_host(const Options& options, const Installation& installation,
                  const std::vector<BrowserTarget>& targets) {
  const std::string manifest = qlx::path_to_utf8(installation.manifest_path);
  if (options.mode == Mode::kDryRun) {
    std::cout << "would write " << manifest << ":\n" << installation.manifest_json << "\n";
    for (const BrowserTarget& target : targets) {
      std::cout << "would register with " << target.browser << ": " << target.location << "\n";
    }
    return 0;
  }
  if (auto written = qlx::write_file(installation.manifest_path, installation.manifest_json);
      !written) {
    return error("cannot write " + manifest + ": " + written.error().text);
  }
  std::cout << "wrote " << manifest << "\n";
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
  const std::string manifest = qlx::path_to_utf8(installation.manifest_path);
  if (!qlx::path_exists(installation.manifest_path)) return status;
  auto text = qlx::read_file(installation.manifest_path);
  if (!text || !is_own_manifest(*text, installation.host)) {
    std::cout << "left alone " << manifest << " (not a manifest of this host)\n";
  } else if (dry) {
    std::cout << "would remove " << manifest << "\n";
  } else if (auto removed = qlx::remove_file(installation.manifest_path); !removed) {
    std::cerr << "qlx-host-register: cannot remove " << manifest << ": " << removed.error().text
              << "\n";
    status = 1;
  } else {
    std::cout << "removed " << manifest << "\n";
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
  if (options.action == Action::kUninstall && !options.extension_ids.empty()) {
    return usage_error("--uninstall takes no extension ids");
  }
  if (options.extension_ids.empty()) options.extension_ids.emplace_back(kQlxExtensionId);

  auto host = resolve_host(options);
  if (!host) return error(host.error().text);
  Installation installation;
  installation.host = *host;
  installation.manifest_path = host->parent_path() / kManifestFileName;
  installation.manifest_json = manifest_text(*host, options.extension_ids);

  auto targets = browser_targets();
  if (!targets) return error(targets.error().text);
  return options.action == Action::kRegister ? register_host(options, installation, *targets)
                                             : uninstall_host(options, installation, *targets);
}
