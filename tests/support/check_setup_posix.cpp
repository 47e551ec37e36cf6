#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/check_setup.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

Path manifest_file(const Path& home, CheckedBrowser browser) {
  const Path folder = browser == CheckedBrowser::kFirefox
                          ? home / ".mozilla/native-messaging-hosts"
                          : home / ".config/google-chrome/NativeMessagingHosts";
  return folder / "com.velmont.qlx.json";
}

Path machine_file(const Path& root, CheckedBrowser browser) {
  const Path folder = browser == CheckedBrowser::kFirefox
                          ? root / "usr/lib/mozilla/native-messaging-hosts"
                          : root / "etc/opt/chrome/native-messaging-hosts";
  return folder / "com.velmont.qlx.json";
}

}  // namespace

std::string machine_location(const Path& root, CheckedBrowser browser) {
  return machine_file(root, browser).string();
}

std::string place_machine_manifest(const Path& root, const Path&, CheckedBrowser browser,
                                   std::string_view text) {
  const Path file = machine_file(root, browser);
  std::filesystem::create_directories(file.parent_path());
  EXPECT_TRUE(write_file(file, text));
  return file.string();
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
  EXPECT_TRUE(write_file(host, "#!/bin/sh\n" + std::string(body) + "\n"));
  ::chmod(host.c_str(), 0755);
  return host;
}

std::vector<EnvChange> check_env(const Path& home, const Path& local_app_data) {
  std::vector<EnvChange> env = local_app_data_env(local_app_data);
  env.push_back({"HOME", home.string()});
  env.push_back({"XDG_CONFIG_HOME", std::nullopt});
  return env;
}

void remove_registrations() {}

}  // namespace qlx::testing_support
