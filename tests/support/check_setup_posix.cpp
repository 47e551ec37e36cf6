#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/check_setup.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

/// Where each browser is, in the order of CheckedBrowser.
struct BrowserPlaces {
  std::string_view user_hosts;  // below ~/.config (Firefox: below HOME)
  std::string_view machine;     // below the root; empty: none
  std::string_view own_folder;  // the configuration folder (Firefox: below HOME)
  std::string_view program;
  std::string_view snap;
  std::string_view flatpak;
};

constexpr BrowserPlaces kPlaces[] = {
    {".config/google-chrome/NativeMessagingHosts", "etc/opt/chrome/native-messaging-hosts",
     ".config/google-chrome", "google-chrome", "google-chrome", "com.google.Chrome"},
    {".config/chromium/NativeMessagingHosts", "etc/chromium/native-messaging-hosts",
     ".config/chromium", "chromium", "chromium", "org.chromium.Chromium"},
    {".config/microsoft-edge/NativeMessagingHosts", "etc/opt/edge/native-messaging-hosts",
     ".config/microsoft-edge", "microsoft-edge-stable", "microsoft-edge", "com.microsoft.Edge"},
    {".config/BraveSoftware/Brave-Browser/NativeMessagingHosts", "",
     ".config/BraveSoftware/Brave-Browser", "brave-browser", "brave", "com.brave.Browser"},
    {".config/vivaldi/NativeMessagingHosts", "", ".config/vivaldi", "vivaldi", "", ""},
    {".config/opera/NativeMessagingHosts", "", ".config/opera", "opera", "", ""},
    {".mozilla/native-messaging-hosts", "usr/lib/mozilla/native-messaging-hosts",
     ".mozilla/firefox", "firefox-esr", "firefox", "org.mozilla.firefox"},
};

const BrowserPlaces& places_of(CheckedBrowser browser) {
  return kPlaces[static_cast<int>(browser)];
}

Path manifest_file(const Path& home, CheckedBrowser browser) {
  return home / places_of(browser).user_hosts / "com.velmont.qlx.json";
}

Path machine_file(const Path& root, CheckedBrowser browser) {
  return root / places_of(browser).machine / "com.velmont.qlx.json";
}

/// An empty file at `file`, with the folders above it.
void touch(const Path& file) {
  std::filesystem::create_directories(file.parent_path());
  EXPECT_TRUE(write_file(file, ""));
}

/// A program that does nothing at `file`.
std::string stub_program(const Path& file) {
  std::filesystem::create_directories(file.parent_path());
  EXPECT_TRUE(write_file(file, "#!/bin/sh\n"));
  ::chmod(file.c_str(), 0755);
  return file.string();
}

}  // namespace

std::string machine_location(const Path& root, CheckedBrowser browser, MachineView) {
  return machine_file(root, browser).string();
}

std::string place_machine_manifest(const Path& root, const Path&, CheckedBrowser browser,
                                   std::string_view text, MachineView) {
  const Path file = machine_file(root, browser);
  std::filesystem::create_directories(file.parent_path());
  EXPECT_TRUE(write_file(file, text));
  return file.string();
}

const std::string_view kMachineScope = "per machine";

const bool kHasRegistryViews = false;

std::string unregistered_places(const Path& home, const Path& root, CheckedBrowser browser) {
  std::string places = manifest_file(home, browser).string();
  if (!places_of(browser).machine.empty()) {
    places += " (per user) or " + machine_file(root, browser).string() + " (per machine)";
  }
  return places;
}

std::string registered_manifest(const Path& home, const Path&, CheckedBrowser browser) {
  return manifest_file(home, browser).string();
}

std::vector<std::string> registered_browsers(const Path& home) {
  std::vector<std::string> browsers;
  for (CheckedBrowser browser : kEveryBrowser) {
    if (path_exists(manifest_file(home, browser))) browsers.push_back(browser_name(browser));
  }
  return browsers;
}

const bool kHasSandboxes = true;

std::string place_sign(const Path& home, const Path& local, const Path& root,
                       CheckedBrowser browser, InstallSign sign) {
  const BrowserPlaces& places = places_of(browser);
  switch (sign) {
    case InstallSign::kUserFolder:
      touch(home / places.own_folder /
            (browser == CheckedBrowser::kFirefox ? "profiles.ini" : "Local State"));
      return (home / places.own_folder).string();
    case InstallSign::kUserProgram:
      return stub_program(home / ".local/bin" / places.program);
    case InstallSign::kMachineProgram:
      return stub_program(root / "usr/bin" / places.program);
    case InstallSign::kSnap:
      // The Snap's own folder, and the private one that it keeps in HOME.
      std::filesystem::create_directories(root / "snap" / places.snap / "current");
      std::filesystem::create_directories(home / "snap" / places.snap / "common");
      return (root / "snap" / places.snap).string();
    case InstallSign::kSnapProgram:
      return stub_program(root / "snap/bin" / places.snap);
    case InstallSign::kFlatpakUser:
      std::filesystem::create_directories(local / "flatpak/app" / places.flatpak / "current");
      std::filesystem::create_directories(home / ".var/app" / places.flatpak / "config");
      return (local / "flatpak/app" / places.flatpak).string();
    case InstallSign::kFlatpakMachine:
      std::filesystem::create_directories(root / "var/lib/flatpak/app" / places.flatpak /
                                          "current");
      return (root / "var/lib/flatpak/app" / places.flatpak).string();
    case InstallSign::kHostsFolderOnly:
      touch(home / places.user_hosts / "org.example.other.json");
      return "";
    case InstallSign::kNotExecutable:
      stub_program(root / "usr/bin" / places.program);
      ::chmod((root / "usr/bin" / places.program).c_str(), 0644);
      return "";
  }
  return "";
}

Path host_copy(const Path& install) {
  const Path copy = install / "qlx-native-host";
  std::filesystem::copy_file(host_executable(), copy,
                             std::filesystem::copy_options::overwrite_existing);
  return copy;
}

MachineHost machine_host(const Path& root) {
  const Path inside = "/usr/lib/qlx-native-host/qlx-native-host";
  const Path copy = root / inside.relative_path();
  std::filesystem::create_directories(copy.parent_path());
  std::filesystem::copy_file(host_executable(), copy,
                             std::filesystem::copy_options::overwrite_existing);
  return {inside.string(), copy.string()};
}

std::string set_chrome_policies(const Path& root, const Json& policies) {
  const Path file = root / "etc/opt/chrome/policies/managed/qlx-test.json";
  std::filesystem::create_directories(file.parent_path());
  EXPECT_TRUE(write_file(file, to_compact_json(policies)));
  return file.string();
}

std::vector<std::string> root_arguments(const Path& root) {
  return {"--root", root.string()};
}

const std::string_view kSystemRightsAdvice = "as root (sudo)";

std::string registration_location(const Path& home, CheckedBrowser browser) {
  return manifest_file(home, browser).string();
}

std::string place_manifest(const Path& home, const Path&, CheckedBrowser browser,
                           std::string_view text) {
  const Path file = manifest_file(home, browser);
  std::filesystem::create_directories(file.parent_path());
  EXPECT_TRUE(write_file(file, text));
  return file.string();
}

Path unstartable_host(const Path& install) {
  const Path host = install / "qlx-native-host";
  EXPECT_TRUE(write_file(host, "#!/bin/sh\n"));
  ::chmod(host.c_str(), 0644);
  return host;
}

const bool kHasScriptHosts = true;

Path script_host(const Path& install, std::string_view body) {
  const Path host = install / "script-host";
  // The tool runs it with a PATH of the scratch folders only.
  EXPECT_TRUE(write_file(host, "#!/bin/sh\nPATH=/usr/bin:/bin\n" + std::string(body) + "\n"));
  ::chmod(host.c_str(), 0755);
  return host;
}

std::vector<EnvChange> check_env(const Path& home, const Path& local_app_data, const Path& root) {
  std::vector<EnvChange> env = local_app_data_env(local_app_data);
  env.push_back({"HOME", home.string()});
  env.push_back({"XDG_CONFIG_HOME", std::nullopt});
  // The browsers' programs are looked for here only.
  env.push_back({"PATH", (home / ".local/bin").string() + ":" + (root / "usr/bin").string() + ":" +
                             (root / "snap/bin").string()});
  return env;
}

void remove_registrations() {}

}  // namespace qlx::testing_support
