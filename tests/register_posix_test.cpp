// qlx-host-register on Linux: the manifest beside the host and one copy of it
// in each browser's NativeMessagingHosts folder, all inside a scratch HOME.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/case_name.h"
#include "support/files.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

constexpr std::string_view kId = "abcdefghijklmnopabcdefghijklmnop";
constexpr std::string_view kOtherId = "ponmlkjihgfedcbaponmlkjihgfedcba";

// Where each browser reads the user's native messaging hosts, below ~/.config.
const std::vector<std::string> kBrowserFolders = {
    "google-chrome/NativeMessagingHosts",  "chromium/NativeMessagingHosts",
    "microsoft-edge/NativeMessagingHosts", "BraveSoftware/Brave-Browser/NativeMessagingHosts",
    "vivaldi/NativeMessagingHosts",        "opera/NativeMessagingHosts",
};

/// A manifest as the tool writes it, with `list` holding `entries`.
std::string manifest_with(std::string_view list, const std::vector<std::string>& entries,
                          const Path& host) {
  std::string items;
  for (const std::string& entry : entries) {
    if (!items.empty()) items += ",\n";
    items += "    \"" + entry + "\"";
  }
  return "{\n  \"" + std::string(list) + "\": [\n" + items +
         "\n  ],\n"
         "  \"description\": \"QLX download manager: hands downloads from the browser to QLX\",\n"
         "  \"name\": \"com.velmont.qlx\",\n"
         "  \"path\": \"" +
         host.string() +
         "\",\n"
         "  \"type\": \"stdio\"\n"
         "}";
}

std::string expected_manifest(const Path& host, const std::vector<std::string_view>& ids) {
  std::vector<std::string> origins;
  for (std::string_view id : ids) origins.push_back("chrome-extension://" + std::string(id) + "/");
  return manifest_with("allowed_origins", origins, host);
}

std::string expected_firefox_manifest(const Path& host, const std::vector<std::string_view>& ids) {
  return manifest_with("allowed_extensions", std::vector<std::string>(ids.begin(), ids.end()),
                       host);
}

std::string read_text(const Path& path) {
  auto text = read_file(path);
  return text ? *text : "<unreadable: " + text.error().text + ">";
}

/// A scratch HOME, a scratch folder holding a stand-in host executable, and
/// every browser installed: its program in the folder that PATH names.
class RegisterPosix : public testing::Test {
 protected:
  RegisterPosix() {
    host_ = install_.path / "qlx-native-host";
    EXPECT_TRUE(write_file(host_, "#!/bin/sh\n"));
    for (std::string_view program : {"google-chrome", "chromium", "microsoft-edge", "brave-browser",
                                     "vivaldi", "opera", "firefox"}) {
      EXPECT_TRUE(write_file(programs_.path / program, "#!/bin/sh\n"));
      std::filesystem::permissions(programs_.path / program, std::filesystem::perms(0755));
    }
  }

  HostRun run_tool(std::vector<std::string> arguments, std::vector<EnvChange> env = {}) const {
    HostOptions options;
    options.executable = programs_dir() / "qlx-host-register";
    options.arguments = std::move(arguments);
    options.env = {{"HOME", home_.path.string()},
                   {"XDG_CONFIG_HOME", std::nullopt},
                   {"PATH", programs_.path.string()}};
    options.env.insert(options.env.end(), env.begin(), env.end());
    return run_host("", options);
  }

  std::vector<std::string> with_host(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"--host", host_.string()});
    return arguments;
  }

  Path manifest() const { return install_.path / "com.velmont.qlx.json"; }
  Path copy_for(const std::string& folder) const {
    return home_.path / ".config" / folder / "com.velmont.qlx.json";
  }

  TempDir home_;
  TempDir install_;
  TempDir programs_;
  Path host_;
};

TEST_F(RegisterPosix, WritesTheManifestBesideTheHostAndACopyForEveryBrowser) {
  const HostRun run =
      run_tool(with_host({std::string(kId), std::string(kOtherId), std::string(kId)}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  const std::string expected = expected_manifest(host_, {kId, kOtherId});
  EXPECT_EQ(read_text(manifest()), expected);
  for (const std::string& folder : kBrowserFolders) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(read_text(copy_for(folder)), expected);
    EXPECT_NE(run.output.find(copy_for(folder).string()), std::string::npos) << run.output;
  }
  EXPECT_EQ(files_below(home_.path).size(), kBrowserFolders.size());
}

TEST_F(RegisterPosix, RegistersFirefoxOnlyWhenAskedAndTakesItBack) {
  constexpr std::string_view kAddon = "qlx@velmont.com";
  constexpr std::string_view kUuid = "{3f2504e0-4f89-11d3-9a0c-0305e82c3301}";
  const Path firefox_manifest = install_.path / "com.velmont.qlx.firefox.json";
  const Path firefox_copy = home_.path / ".mozilla/native-messaging-hosts/com.velmont.qlx.json";
  {
    SCOPED_TRACE("a dry run names both manifests and Firefox's folder, and writes nothing");
    const HostRun run = run_tool(
        with_host({"--dry-run", "--firefox-extension", std::string(kAddon), std::string(kId)}));
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_NE(run.output.find("would write " + firefox_manifest.string() + ":\n" +
                              expected_firefox_manifest(host_, {kAddon})),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("would register with Firefox: " + firefox_copy.string()),
              std::string::npos)
        << run.output;
    EXPECT_EQ(files_below(home_.path), std::vector<std::string>{});
  }
  {
    SCOPED_TRACE("register: both manifests beside the host, Firefox's copy named for the host");
    const HostRun run =
        run_tool(with_host({"--firefox-extension", std::string(kAddon), "--firefox-extension",
                            std::string(kUuid), "--firefox-extension", std::string(kAddon)}));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.errors, "");
    const std::string expected = expected_firefox_manifest(host_, {kAddon, kUuid});
    EXPECT_EQ(read_text(firefox_manifest), expected);
    EXPECT_EQ(read_text(firefox_copy), expected);
    EXPECT_EQ(read_text(manifest()),
              expected_manifest(host_, {"kbmhoaelpgdjcnfiebkalmcgopdhjnie"}));
    EXPECT_EQ(files_below(home_.path).size(), kBrowserFolders.size() + 1);
  }
  {
    SCOPED_TRACE("without the option Firefox is left as it is");
    const HostRun run = run_tool(with_host({std::string(kId)}));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output.find("Firefox"), std::string::npos) << run.output;
    EXPECT_EQ(read_text(firefox_copy), expected_firefox_manifest(host_, {kAddon, kUuid}));
  }
  {
    SCOPED_TRACE("uninstall removes Firefox's registration and manifest too");
    const HostRun run = run_tool(with_host({"--uninstall"}));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.output.find("removed from Firefox: " + firefox_copy.string()), std::string::npos)
        << run.output;
    EXPECT_EQ(files_below(home_.path), std::vector<std::string>{});
    EXPECT_FALSE(path_exists(home_.path / ".mozilla"));
    EXPECT_EQ(files_below(install_.path), std::vector<std::string>{"qlx-native-host"});
  }
}

TEST_F(RegisterPosix, ReRegisteringReplacesTheAllowedExtensions) {
  ASSERT_EQ(run_tool(with_host({std::string(kId)})).exit_code, 0);
  const HostRun run = run_tool(with_host({std::string(kOtherId)}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(read_text(copy_for(kBrowserFolders[0])), expected_manifest(host_, {kOtherId}));
  EXPECT_EQ(read_text(manifest()), expected_manifest(host_, {kOtherId}));
}

TEST_F(RegisterPosix, WithoutAnIdAllowsTheQlxExtension) {
  const HostRun run = run_tool(with_host({}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(read_text(manifest()), expected_manifest(host_, {"kbmhoaelpgdjcnfiebkalmcgopdhjnie"}));
}

TEST_F(RegisterPosix, DefaultsToTheHostBesideTheTool) {
  // Only a dry run: the real host's folder is the build's, not ours to write.
  const HostRun run = run_tool({"--dry-run", std::string(kId)});
  EXPECT_EQ(run.exit_code, 0) << run.errors;
  EXPECT_NE(run.output.find("\"path\": \"" + host_executable().string() + "\""), std::string::npos)
      << run.output;
}

TEST_F(RegisterPosix, UsesXdgConfigHomeWhenItIsSet) {
  TempDir config;
  const HostRun run =
      run_tool(with_host({std::string(kId)}), {{"XDG_CONFIG_HOME", config.path.string()}});
  EXPECT_EQ(run.exit_code, 0);
  for (const std::string& folder : kBrowserFolders) {
    SCOPED_TRACE(folder);
    EXPECT_TRUE(path_exists(config.path / folder / "com.velmont.qlx.json"));
  }
  EXPECT_EQ(files_below(home_.path), std::vector<std::string>{});
}

TEST_F(RegisterPosix, DryRunsPrintEveryStepAndChangeNothing) {
  HostRun run = run_tool(with_host({"--dry-run", std::string(kId)}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_NE(run.output.find("would write " + manifest().string()), std::string::npos);
  EXPECT_NE(run.output.find(expected_manifest(host_, {kId})), std::string::npos);
  for (const std::string& folder : kBrowserFolders) {
    EXPECT_NE(run.output.find("would register with"), std::string::npos);
    EXPECT_NE(run.output.find(copy_for(folder).string()), std::string::npos) << folder;
  }
  EXPECT_EQ(files_below(home_.path), std::vector<std::string>{});
  EXPECT_EQ(files_below(install_.path), std::vector<std::string>{"qlx-native-host"});

  ASSERT_EQ(run_tool(with_host({std::string(kId)})).exit_code, 0);
  run = run_tool(with_host({"--uninstall", "--dry-run"}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.output.find("would remove " + manifest().string()), std::string::npos);
  EXPECT_NE(run.output.find("would remove from Brave: " + copy_for(kBrowserFolders[3]).string()),
            std::string::npos)
      << run.output;
  EXPECT_EQ(files_below(home_.path).size(), kBrowserFolders.size());
  EXPECT_TRUE(path_exists(manifest()));
}

TEST_F(RegisterPosix, UninstallRemovesOnlyWhatItWrote) {
  // A browser that was in use before, with another host registered beside ours.
  const Path chrome = home_.path / ".config/google-chrome";
  ASSERT_TRUE(std::filesystem::create_directories(chrome / "NativeMessagingHosts"));
  ASSERT_TRUE(write_file(chrome / "Local State", "{}"));
  ASSERT_TRUE(write_file(chrome / "NativeMessagingHosts/org.example.other.json", "{}"));
  ASSERT_EQ(run_tool(with_host({std::string(kId)})).exit_code, 0);
  // Vivaldi's registration now names another installation of the host.
  TempDir elsewhere;
  const std::string foreign = expected_manifest(elsewhere.path / "qlx-native-host", {kId});
  ASSERT_TRUE(write_file(copy_for("vivaldi/NativeMessagingHosts"), foreign));

  const HostRun run = run_tool(with_host({"--uninstall"}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_NE(run.output.find("left alone for Vivaldi"), std::string::npos) << run.output;
  EXPECT_EQ(
      files_below(home_.path),
      (std::vector<std::string>{".config/google-chrome/Local State",
                                ".config/google-chrome/NativeMessagingHosts/org.example.other.json",
                                ".config/vivaldi/NativeMessagingHosts/com.velmont.qlx.json"}));
  EXPECT_EQ(read_text(copy_for("vivaldi/NativeMessagingHosts")), foreign);
  // The folders made only for the registration are gone; the configuration root stays.
  EXPECT_FALSE(path_exists(home_.path / ".config/chromium"));
  EXPECT_FALSE(path_exists(home_.path / ".config/BraveSoftware"));
  EXPECT_TRUE(qlx::is_directory(home_.path / ".config"));
  EXPECT_EQ(files_below(install_.path), std::vector<std::string>{"qlx-native-host"});
}

TEST_F(RegisterPosix, UninstallLeavesAManifestOfAnotherHostBesideIt) {
  TempDir elsewhere;
  const std::string foreign = expected_manifest(elsewhere.path / "qlx-native-host", {kId});
  ASSERT_TRUE(write_file(manifest(), foreign));
  const HostRun run = run_tool(with_host({"--uninstall"}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(read_text(manifest()), foreign);
}

struct BadInput {
  std::string_view name;
  std::vector<std::string> arguments;  // "HOST" stands for the stand-in host's path
  std::string_view error;              // a part of the error text
};

class RegisterPosixRefuses : public RegisterPosix, public testing::WithParamInterface<BadInput> {};

TEST_P(RegisterPosixRefuses, WithAClearErrorAndWritesNothing) {
  std::vector<std::string> arguments = GetParam().arguments;
  for (std::string& arg : arguments) {
    if (arg == "HOST") arg = host_.string();
    if (arg == "NOHOST") arg = (install_.path / "missing").string();
    if (arg.starts_with("HOSTDIR")) arg.replace(0, 7, install_.path.string());
  }
  const HostRun run = run_tool(arguments);
  EXPECT_NE(run.exit_code, 0);
  EXPECT_NE(run.errors.find(GetParam().error), std::string::npos) << run.errors;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(files_below(home_.path), std::vector<std::string>{});
  EXPECT_EQ(files_below(install_.path), std::vector<std::string>{"qlx-native-host"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegisterPosixRefuses,
    testing::Values(
        BadInput{
            "IdOf31Letters", {"--host", "HOST", std::string(kId.substr(1))}, "not an extension id"},
        BadInput{
            "IdOf33Letters", {"--host", "HOST", std::string(kId) + "a"}, "not an extension id"},
        BadInput{"IdWithCapitals",
                 {"--host", "HOST", "ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP"},
                 "not an extension id (32 letters a to p): ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP"},
        BadInput{"IdWithLetterQ",
                 {"--host", "HOST", "qbcdefghijklmnopabcdefghijklmnop"},
                 "not an extension id"},
        BadInput{"IdWithDigits",
                 {"--host", "HOST", "0bcdefghijklmnopabcdefghijklmnop"},
                 "not an extension id"},
        BadInput{"OneBadIdAmongGoodOnes",
                 {"--host", "HOST", std::string(kId), "x"},
                 "not an extension id (32 letters a to p): x"},
        BadInput{"OriginInsteadOfId",
                 {"--host", "HOST", "chrome-extension://" + std::string(kId) + "/"},
                 "not an extension id"},
        BadInput{"MissingHost", {"--host", "NOHOST", std::string(kId)}, "no host executable at "},
        BadInput{"HostIsAFolder",
                 {"--host", "HOSTDIR", std::string(kId)},
                 "is a folder, not the host executable"},
        BadInput{"EmptyHostPath", {"--host", "", std::string(kId)}, "the host path is empty"},
        BadInput{"HostWithoutPath", {std::string(kId), "--host"}, "--host needs a path"},
        BadInput{"UnknownOption", {"--host", "HOST", "--force"}, "unknown option --force"},
        BadInput{"UninstallWithIds",
                 {"--uninstall", "--host", "HOST", std::string(kId)},
                 "--uninstall takes no extension ids"},
        BadInput{"AddonIdWithoutAt",
                 {"--host", "HOST", "--firefox-extension", "qlx.velmont.com"},
                 "not a Firefox add-on id (name@domain or {uuid}): qlx.velmont.com"},
        BadInput{"AddonIdWithEmptyDomain",
                 {"--host", "HOST", "--firefox-extension", "qlx@"},
                 "not a Firefox add-on id"},
        BadInput{"AddonIdWithSpace",
                 {"--host", "HOST", "--firefox-extension", "qlx host@velmont.com"},
                 "not a Firefox add-on id"},
        BadInput{"AddonUuidTooShort",
                 {"--host", "HOST", "--firefox-extension", "{3f2504e0-4f89-11d3-9a0c-0305e82c330}"},
                 "not a Firefox add-on id"},
        BadInput{"AddonUuidWithoutBraces",
                 {"--host", "HOST", "--firefox-extension", "3f2504e0-4f89-11d3-9a0c-0305e82c3301"},
                 "not a Firefox add-on id"},
        BadInput{"BadAddonIdAfterGoodOnes",
                 {"--host", "HOST", std::string(kId), "--firefox-extension", "a@b",
                  "--firefox-extension", "qlx@velmont@com"},
                 "not a Firefox add-on id (name@domain or {uuid}): qlx@velmont@com"},
        BadInput{"FirefoxWithoutId",
                 {"--host", "HOST", "--firefox-extension"},
                 "--firefox-extension needs an add-on id"},
        BadInput{"UninstallWithAddonId",
                 {"--uninstall", "--host", "HOST", "--firefox-extension", "qlx@velmont.com"},
                 "--uninstall takes no extension ids"},
        BadInput{
            "NonUtf8HostPath", {"--host", "HOSTDIR/\xff", std::string(kId)}, "not valid Unicode"}),
    CaseName());

TEST_F(RegisterPosix, SystemWritesEverySystemFolderUnderTheRootAndTakesItBack) {
  TempDir root;
  const Path final_host = "/usr/lib/qlx/qlx-native-host";
  std::filesystem::create_directories(root.path / "usr/lib/qlx");
  ASSERT_TRUE(write_file(root.path / final_host.relative_path(), "#!/bin/sh\n"));
  const std::vector<std::string> system = {"--system", "--root", root.path.string() + "/", "--host",
                                           final_host.string()};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), system.begin(), system.end());
    return more;
  };
  const std::vector<std::string> copies = {
      "etc/chromium/native-messaging-hosts/com.velmont.qlx.json",
      "etc/opt/chrome/native-messaging-hosts/com.velmont.qlx.json",
      "etc/opt/edge/native-messaging-hosts/com.velmont.qlx.json",
      "usr/lib/mozilla/native-messaging-hosts/com.velmont.qlx.json",
  };
  {
    SCOPED_TRACE("a dry run writes nothing");
    const HostRun run = run_tool(with({"--dry-run", std::string(kId)}));
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_NE(run.output.find("would register with Google Chrome: " + root.path.string() + "/" +
                              copies[1]),
              std::string::npos)
        << run.output;
    EXPECT_EQ(files_below(root.path), std::vector<std::string>{"usr/lib/qlx/qlx-native-host"});
  }
  {
    SCOPED_TRACE("register: each browser's system folder, the manifests naming the final path");
    const HostRun run =
        run_tool(with({std::string(kId), "--firefox-extension", "qlx@velmont.com"}));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.errors, "");
    std::vector<std::string> expected = copies;
    expected.insert(expected.end(),
                    {"usr/lib/qlx/com.velmont.qlx.firefox.json", "usr/lib/qlx/com.velmont.qlx.json",
                     "usr/lib/qlx/qlx-native-host"});
    EXPECT_EQ(files_below(root.path), expected);
    for (const std::string& copy : copies) {
      SCOPED_TRACE(copy);
      EXPECT_EQ(read_text(root.path / copy),
                copy.starts_with("usr/lib/mozilla")
                    ? expected_firefox_manifest(final_host, {"qlx@velmont.com"})
                    : expected_manifest(final_host, {kId}));
      // Every user's browser reads it.
      EXPECT_EQ(std::filesystem::status(root.path / copy).permissions(),
                std::filesystem::perms(0644));
    }
    EXPECT_EQ(read_text(root.path / "usr/lib/qlx/com.velmont.qlx.json"),
              expected_manifest(final_host, {kId}));
    EXPECT_TRUE(files_below(home_.path).empty()) << "per-user folders are left alone";
  }
  {
    SCOPED_TRACE("uninstall takes back every file but the host");
    const HostRun run = run_tool(with({"--uninstall"}));
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(files_below(root.path), std::vector<std::string>{"usr/lib/qlx/qlx-native-host"});
    EXPECT_FALSE(path_exists(root.path / "etc/opt/chrome"));
    EXPECT_FALSE(path_exists(root.path / "usr/lib/mozilla"));
  }
  {
    SCOPED_TRACE("without --host, the tool's own folder must lie under the root");
    const HostRun run = run_tool({"--system", "--root", root.path.string()});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(
        run.errors.find("is not under " + root.path.string() + ": name its final path with --host"),
        std::string::npos)
        << run.errors;
    EXPECT_EQ(files_below(root.path), std::vector<std::string>{"usr/lib/qlx/qlx-native-host"});
  }
  {
    SCOPED_TRACE("a place that cannot be written: one line, and nothing is written anywhere");
    // A file where the folder /etc should be: even root cannot create folders in it.
    std::filesystem::remove_all(root.path / "etc");
    ASSERT_TRUE(write_file(root.path / "etc", ""));
    const HostRun run = run_tool(with({"--firefox-extension", "qlx@velmont.com"}));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.errors,
              "qlx-host-register: --system needs the rights to change every user's "
              "registrations: cannot write " +
                  root.path.string() +
                  "/etc: Permission denied (os error 13); run qlx-host-register --system as root "
                  "(sudo)\n");
    EXPECT_EQ(files_below(root.path),
              (std::vector<std::string>{"etc", "usr/lib/qlx/qlx-native-host"}));
    std::filesystem::remove(root.path / "etc");
  }
}

TEST_F(RegisterPosix, RefusesWhenNoConfigurationFolderCanBeFound) {
  const HostRun run = run_tool(with_host({std::string(kId)}), {{"HOME", std::nullopt}});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.errors.find("cannot find your configuration folder"), std::string::npos)
      << run.errors;
  EXPECT_EQ(files_below(install_.path), std::vector<std::string>{"qlx-native-host"});
}

}  // namespace
}  // namespace qlx::testing_support
