#include "options.h"

#include <algorithm>
#include <system_error>

#include "manifest.h"

namespace qlx::host_register {

const std::string_view kUsage =
    "usage: qlx-host-register [--system] [--root DIR] [--dry-run] [--host PATH]\n"
    "                         [--browser NAME]... [--firefox-extension ID]... [EXTENSION_ID...]\n"
    "       qlx-host-register --uninstall [--system] [--root DIR] [--dry-run] [--host PATH]\n"
    "       qlx-host-register --check [--root DIR]\n"
    "\n"
    "Writes the native messaging host manifest com.velmont.qlx.json beside the host\n"
    "and registers it for the current user with each of Chrome, Chromium, Edge,\n"
    "Brave, Vivaldi and Opera that is installed: on Linux, its configuration folder,\n"
    "its program on PATH, its Snap or its Flatpak is there; on Windows, its user-data\n"
    "folder or its App Paths key.  Each EXTENSION_ID (32 letters a to p) may connect\n"
    "to the host; without one, the QLX extension may.  When no browser is found, it\n"
    "writes nothing and exits 1.\n"
    "\n"
    "  --host PATH               the host executable (default: qlx-native-host beside\n"
    "                            this tool)\n"
    "  --firefox-extension ID    also register com.velmont.qlx.firefox.json with\n"
    "                            Firefox, for the add-on ID (name@domain or {uuid});\n"
    "                            may be repeated; without it Firefox is left alone\n"
    "  --browser NAME            register with this browser, installed or not, and only\n"
    "                            with the browsers named so; may be repeated; NAME is\n"
    "                            chrome, chromium, edge, brave, vivaldi, opera or firefox\n"
    "  --system                  register for every user of the machine, with every\n"
    "                            browser that has a place for it (Windows: HKLM, run\n"
    "                            from an administrator prompt; Linux: the browsers'\n"
    "                            system folders, run as root)\n"
    "  --root DIR                Linux: take every system path under DIR: the\n"
    "                            browsers' system folders with --system (for packages;\n"
    "                            the manifests still name the host's final path), and\n"
    "                            the Snap and Flatpak folders where browsers are found\n"
    "  --dry-run                 print what would be done and why, change nothing\n"
    "  --uninstall               remove every registration and manifest of this host,\n"
    "                            whether its browser is installed or not (Windows, with\n"
    "                            --system: in both registry views)\n"
    "  --check                   tell, per browser that is installed or registered,\n"
    "                            whether it can reach the host that is registered there\n"
    "                            (per user or per machine, which registry view, and what\n"
    "                            its policies allow), and what fixes it when not; warn\n"
    "                            of browsers in a Snap or a Flatpak; then list the\n"
    "                            browsers not installed; exits 0 when at least one\n"
    "                            browser is registered and all registered ones pass,\n"
    "                            1 otherwise\n";

Result<Options> parse_options(std::span<const std::string> args) {
  Options options;
  std::size_t root_arguments = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.action = Action::kHelp;
      return options;
    } else if (arg == "--dry-run") {
      options.mode = Mode::kDryRun;
    } else if (arg == "--uninstall") {
      options.action = Action::kUninstall;
    } else if (arg == "--check") {
      options.action = Action::kCheck;
    } else if (arg == "--system") {
      options.scope = Scope::kMachine;
    } else if (arg == "--root") {
      if (++i == args.size() || args[i].empty()) return fail("--root needs a folder");
      if (!has_system_root()) return fail("--root is for Linux and other POSIX systems");
      std::error_code failed;
      options.root =
          std::filesystem::absolute(Path(std::u8string(args[i].begin(), args[i].end())), failed)
              .lexically_normal();
      if (failed) return fail("--root needs a folder: " + args[i]);
      if (!options.root.has_filename()) options.root = options.root.parent_path();
      root_arguments = 2;
    } else if (arg == "--firefox-extension") {
      if (++i == args.size()) return fail("--firefox-extension needs an add-on id");
      if (!is_addon_id(args[i])) {
        return fail("not a Firefox add-on id (name@domain or {uuid}): " + args[i]);
      }
      if (std::ranges::find(options.addon_ids, args[i]) == options.addon_ids.end()) {
        options.addon_ids.push_back(args[i]);
      }
    } else if (arg == "--browser") {
      if (++i == args.size()) return fail("--browser needs a browser's name");
      const std::optional<std::string_view> browser = browser_named(args[i]);
      if (!browser) {
        return fail("no browser is named " + args[i] +
                    " (chrome, chromium, edge, brave, vivaldi, opera or firefox)");
      }
      if (std::ranges::find(options.browsers, *browser) == options.browsers.end()) {
        options.browsers.emplace_back(*browser);
      }
    } else if (arg == "--host") {
      if (++i == args.size()) return fail("--host needs a path");
      options.host = Path(std::u8string(args[i].begin(), args[i].end()));
    } else if (arg.starts_with("-")) {
      return fail("unknown option " + arg);
    } else if (!is_extension_id(arg)) {
      return fail("not an extension id (32 letters a to p): " + arg);
    } else if (std::ranges::find(options.extension_ids, arg) == options.extension_ids.end()) {
      options.extension_ids.push_back(arg);
    }
  }
  const bool has_ids = !options.extension_ids.empty() || !options.addon_ids.empty();
  if (options.action == Action::kUninstall && has_ids) {
    return fail("--uninstall takes no extension ids");
  }
  if (options.action == Action::kUninstall && !options.browsers.empty()) {
    return fail("--uninstall takes no --browser: it removes every registration of this host");
  }
  if (options.action == Action::kCheck) {
    if (has_ids || options.host || options.mode == Mode::kDryRun ||
        options.scope == Scope::kMachine || args.size() != 1 + root_arguments) {
      return fail("--check takes no other arguments");
    }
    return options;
  }
  if (!options.browsers.empty()) {
    if (options.scope == Scope::kMachine) {
      return fail(
          "--browser goes with a registration per user: --system registers with every "
          "browser");
    }
    const bool firefox = std::ranges::find(options.browsers, "Firefox") != options.browsers.end();
    if (firefox && options.addon_ids.empty()) {
      return fail("--browser firefox needs --firefox-extension ID");
    }
    if (!firefox && !options.addon_ids.empty()) {
      return fail("--firefox-extension with --browser needs --browser firefox too");
    }
  }
  if (options.extension_ids.empty()) options.extension_ids.emplace_back(kQlxExtensionId);
  return options;
}

}  // namespace qlx::host_register
