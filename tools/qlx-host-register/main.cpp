// qlx-host-register: makes the native messaging host known to the browsers of
// the current user or of the machine, or takes it back.
//
//   qlx-host-register [--system] [--root DIR] [--dry-run] [--host PATH]
//                     [--browser NAME]... [--firefox-extension ID]... [EXTENSION_ID...]
//   qlx-host-register --uninstall [--system] [--root DIR] [--dry-run] [--host PATH]
//   qlx-host-register --check [--root DIR]
//
// Writes the manifest "com.velmont.qlx.json" beside the host, allowing each
// EXTENSION_ID (the QLX extension's when none is given), then registers it
// with those of Chrome, Chromium, Edge, Brave, Vivaldi and Opera that are
// installed (browser_presence()), or that --browser names; with
// --firefox-extension, also "com.velmont.qlx.firefox.json" for Firefox.
// --uninstall removes those registrations and manifests, and only where they
// name this host.  With --system, the machine's registrations instead of the
// user's, for every browser (HKLM on Windows, the browsers' system folders
// elsewhere, taken under --root DIR).  --check tells, per browser, whether
// the browser can reach the host, and what to do when it cannot (check.h).
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
#include "options.h"

namespace {

using namespace qlx::host_register;
using qlx::Path;

int usage_error(std::string_view text) {
  std::cerr << "qlx-host-register: " << text << "\n\n" << kUsage;
  return 2;
}

int error(std::string_view text) {
  std::cerr << "qlx-host-register: " << text << "\n";
  return 1;
}

/// Where the host is: the path that the manifests name, and the path on this
/// system (under --root, that one below the root).
struct HostPaths {
  Path final;
  Path on_disk;
};

/// The host executable's absolute paths, or why it cannot be used.
qlx::Result<HostPaths> resolve_host(const Options& options) {
  // Per user, --root only moves where browsers are looked for.
  const Path root = options.scope == Scope::kMachine ? options.root : Path();
  HostPaths host;
  if (options.host) {
    if (options.host->empty()) return qlx::fail("the host path is empty");
    std::error_code failed;
    host.final = std::filesystem::absolute(*options.host, failed).lexically_normal();
    if (failed) return qlx::fail("cannot make the host path absolute: " + failed.message());
    host.on_disk = root.empty() ? host.final : root / host.final.relative_path();
  } else {
    auto self = qlx::current_executable_path();
    if (!self) return qlx::fail("cannot find this program's own folder: " + self.error().text);
    host.on_disk = (self->parent_path() / host_file_name()).lexically_normal();
    host.final = host.on_disk;
    if (!root.empty()) {
      const Path inside = host.on_disk.lexically_relative(root);
      if (inside.empty() || *inside.begin() == "..") {
        return qlx::fail("the host " + qlx::path_to_utf8(host.on_disk) + " is not under " +
                         qlx::path_to_utf8(root) + ": name its final path with --host");
      }
      host.final = Path("/") / inside;
    }
  }
  const std::string text = qlx::path_to_utf8(host.final);
  if (!qlx::is_valid_utf8(text) ||
      Path(std::u8string(text.begin(), text.end())).native() != host.final.native()) {
    return qlx::fail("the host path cannot be written in a manifest (it is not valid Unicode): " +
                     text);
  }
  if (options.action == Action::kRegister) {
    const std::string where = qlx::path_to_utf8(host.on_disk);
    if (!qlx::path_exists(host.on_disk)) return qlx::fail("no host executable at " + where);
    if (qlx::is_directory(host.on_disk)) {
      return qlx::fail(where + " is a folder, not the host executable");
    }
  }
  return host;
}

/// The one line that says that --system lacks the rights, and what to run instead.
int no_rights(std::string_view text) {
  return error(
      "--system needs the rights to change every user's registrations: " + std::string(text) +
      "; run qlx-host-register --system " + std::string(system_rights_advice()));
}

/// A place that a registration writes, and why: "" for every place of
/// --system, else what shows that the browser is installed, or that it was
/// named with --browser.
struct Chosen {
  BrowserTarget target;
  std::string reason;
};

/// The places to register with, and the browsers left out because they
/// were not found.  Per user: the installed browsers', or the ones that
/// --browser names; per machine: every place but a 32-bit view's that
/// holds no key.
struct Choice {
  std::vector<Chosen> chosen;
  std::vector<std::string> not_installed;
};

Choice choose_targets(const Options& options, const Installation& installation,
                      const std::vector<BrowserTarget>& targets) {
  Choice choice;
  const std::vector<BrowserPresence> presence =
      options.scope == Scope::kUser && options.browsers.empty() ? browser_presence(options.root)
                                                                : std::vector<BrowserPresence>();
  for (const BrowserTarget& target : targets) {
    if (installation.manifest_for(target.family).json.empty()) continue;
    if (options.scope == Scope::kMachine) {
      if (target.rewrite_only) {
        auto registered = registered_manifest(target);
        if (registered && !registered->has_value()) continue;
      }
      choice.chosen.push_back({target, ""});
    } else if (!options.browsers.empty()) {
      if (std::ranges::find(options.browsers, target.browser) != options.browsers.end()) {
        choice.chosen.push_back({target, "named with --browser"});
      }
    } else {
      const auto found = std::ranges::find(presence, target.browser, &BrowserPresence::browser);
      if (found == presence.end() || !is_installed(*found)) {
        choice.not_installed.push_back(target.browser);
      } else {
        const std::string& where =
            found->found.empty() ? found->sandboxes.front().where : found->found;
        choice.chosen.push_back({target, "installed: " + where});
      }
    }
  }
  return choice;
}

/// The manifests that a registration writes: those of the chosen places' families.
std::vector<const ManifestFile*> manifests_written(const Installation& installation,
                                                   const std::vector<Chosen>& chosen) {
  std::vector<const ManifestFile*> files;
  for (BrowserFamily family : {BrowserFamily::kChromium, BrowserFamily::kFirefox}) {
    if (std::ranges::any_of(chosen,
                            [&](const Chosen& one) { return one.target.family == family; })) {
      files.push_back(&installation.manifest_for(family));
    }
  }
  return files;
}

/// "<browser>: <location>", with the reason for the choice when there is one.
std::string chosen_text(const Chosen& chosen) {
  return chosen.target.browser + ": " + chosen.target.location +
         (chosen.reason.empty() ? "" : " (" + chosen.reason + ")");
}

int register_host(const Options& options, const Installation& installation,
                  const std::vector<BrowserTarget>& all_targets) {
  if (!installation.firefox.json.empty() &&
      std::ranges::none_of(all_targets, [](const BrowserTarget& target) {
        return target.family == BrowserFamily::kFirefox;
      })) {
    return error("cannot find Firefox's folder: HOME holds no absolute path");
  }
  const Choice choice = choose_targets(options, installation, all_targets);
  if (choice.chosen.empty()) {
    return error("found none of " + joined_names(choice.not_installed) +
                 " installed, so nothing was registered; name a browser with --browser NAME to "
                 "register with it all the same");
  }
  const std::string left_out =
      choice.not_installed.empty()
          ? ""
          : "not installed, so left alone: " + joined_names(choice.not_installed) +
                " (--browser NAME registers with one all the same)\n";
  if (options.mode == Mode::kDryRun) {
    for (const ManifestFile* file : manifests_written(installation, choice.chosen)) {
      std::cout << "would write " << qlx::path_to_utf8(file->path) << ":\n" << file->json << "\n";
    }
    for (const Chosen& chosen : choice.chosen) {
      std::cout << "would register with " << chosen_text(chosen) << "\n";
    }
    std::cout << left_out;
    return 0;
  }
  const bool system = options.scope == Scope::kMachine;
  if (system) {
    // Every place first: without the rights, nothing is written at all.
    for (const Chosen& chosen : choice.chosen) {
      if (auto writable = check_writable(chosen.target); !writable)
        return no_rights(writable.error().text);
    }
  }
  std::vector<Path> written_files;
  for (const ManifestFile* file : manifests_written(installation, choice.chosen)) {
    const std::string manifest = qlx::path_to_utf8(file->path);
    if (auto written = qlx::write_file(file->path, file->json); !written) {
      for (const Path& done : written_files) (void)qlx::remove_file(done);
      const std::string text = "cannot write " + manifest + ": " + written.error().text;
      return system ? no_rights(text) : error(text);
    }
    written_files.push_back(file->path);
    if (system) {
      // Every user's browser reads it (a new file is its owner's only).
      using std::filesystem::perms;
      std::error_code ignored;
      std::filesystem::permissions(
          file->path,
          perms::owner_read | perms::owner_write | perms::group_read | perms::others_read, ignored);
    }
    std::cout << "wrote " << manifest << "\n";
  }
  int status = 0;
  for (const Chosen& chosen : choice.chosen) {
    const BrowserTarget& target = chosen.target;
    if (auto done = register_with(target, installation); !done) {
      std::cerr << "qlx-host-register: cannot register with " << target.browser << " at "
                << target.location << ": " << done.error().text << "\n";
      status = 1;
      continue;
    }
    std::cout << "registered with " << chosen_text(chosen) << "\n";
  }
  std::cout << left_out;
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
  const std::vector<std::string> args = utf8_arguments(argc, argv);
  auto parsed = parse_options(args);
  if (!parsed) return usage_error(parsed.error().text);
  const Options& options = *parsed;
  if (options.action == Action::kHelp) {
    std::cout << kUsage;
    return 0;
  }
  if (options.action == Action::kCheck) {
    auto user = browser_targets(Scope::kUser);
    if (!user) return error(user.error().text);
    auto machine = browser_targets(Scope::kMachine, options.root);
    if (!machine) return error(machine.error().text);
    return check_browsers(*user, *machine, browser_presence(options.root), options.root, std::cout);
  }

  auto host = resolve_host(options);
  if (!host) return error(host.error().text);
  Installation installation;
  installation.host = host->final;
  installation.chromium.path = host->on_disk.parent_path() / kManifestFileName;
  installation.chromium.json =
      manifest_text(BrowserFamily::kChromium, host->final, options.extension_ids);
  installation.firefox.path = host->on_disk.parent_path() / kFirefoxManifestFileName;
  if (!options.addon_ids.empty()) {
    installation.firefox.json =
        manifest_text(BrowserFamily::kFirefox, host->final, options.addon_ids);
  }

  auto targets = browser_targets(options.scope, options.root);
  if (!targets) return error(targets.error().text);
  return options.action == Action::kRegister ? register_host(options, installation, *targets)
                                             : uninstall_host(options, installation, *targets);
}
