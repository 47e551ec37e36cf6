// qlx-host-register --check: one broken set-up per row, each with the line
// that the tool must print for the browser concerned, and one table of
// registrations per user and per machine under policies.  The same tables
// run on Linux (a scratch HOME, a scratch --root for the machine's folders
// and policy files) and under Wine (the prefix's registry, HKCU and HKLM).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/json.h"
#include "host/version.h"
#include "qlx-host-register/browsers.h"
#include "store/data_dir.h"
#include "support/case_name.h"
#include "support/check_setup.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

constexpr std::string_view kNotFound = "\"Specified native messaging host not found.\"";
constexpr std::string_view kForbidden =
    "\"Access to the specified native messaging host is forbidden.\"";
constexpr std::string_view kCommunication =
    "\"Error when communicating with the native messaging host.\"";
constexpr std::string_view kOrigin = "chrome-extension://abcdefghijklmnopabcdefghijklmnop/";
constexpr std::string_view kAddon = "qlx@velmont.com";

/// Every browser that --check goes through, in its order.
const std::vector<std::string> kBrowsers = {"Google Chrome", "Chromium", "Microsoft Edge", "Brave",
                                            "Vivaldi",       "Opera",    "Firefox"};

struct Manifest {
  std::string name = "com.velmont.qlx";
  std::string path;  // the host
  std::string type = "stdio";
  Json allowed = Json::array({std::string(kOrigin)});
};

std::string manifest_json(const Manifest& manifest, CheckedBrowser browser) {
  Json json = Json::object();
  json["name"] = manifest.name;
  json["description"] = "test";
  json["path"] = manifest.path;
  json["type"] = manifest.type;
  json[browser == CheckedBrowser::kFirefox ? "allowed_extensions" : "allowed_origins"] =
      manifest.allowed;
  return to_indented_json(json);
}

std::string browser_name(CheckedBrowser browser) {
  return browser == CheckedBrowser::kFirefox ? "Firefox" : "Google Chrome";
}

/// The scratch folders of one test: HOME, the local application-data folder
/// and a folder for hosts and manifests.
struct Scratch {
  TempDir home;
  TempDir local;
  TempDir install;
  TempDir root;

  /// Registers `manifest` for `browser`; the manifest's path as the tool reports it.
  std::string place(CheckedBrowser browser, const Manifest& manifest) const {
    return place_manifest(home.path, install.path, browser, manifest_json(manifest, browser));
  }
};

/// A manifest of the real host, for `browser`.
Manifest real_host(CheckedBrowser browser) {
  Manifest manifest;
  manifest.path = path_to_utf8(host_executable());
  if (browser == CheckedBrowser::kFirefox) manifest.allowed = Json::array({std::string(kAddon)});
  return manifest;
}

class RegisterCheck : public testing::Test {
 protected:
  ~RegisterCheck() override { remove_registrations(); }

  /// Runs --check (with the scratch root) or the tool with `arguments`.
  HostRun run_check(std::vector<std::string> arguments = {}) const {
    if (arguments.empty()) {
      arguments = root_arguments(at_.root.path);
      arguments.insert(arguments.begin(), "--check");
    }
    HostOptions options;
    options.executable = programs_dir() / executable_name("qlx-host-register");
    options.arguments = std::move(arguments);
    options.env = check_env(at_.home.path, at_.local.path);
    return run_host("", options);
  }

  Scratch at_;
};

/// The lines of the tool's output (Windows writes its text with "\r\n").
std::vector<std::string> lines_of(const std::string& output) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = output.substr(start, end - start);
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string failure(CheckedBrowser browser, const std::string& finding, std::string_view error,
                    const std::string& fix) {
  return browser_name(browser) + ": FAIL (per user): " + finding +
         "; browser error: " + std::string(error) + "; fix: " + fix;
}

struct BrokenSetUp {
  std::string_view name;
  CheckedBrowser browser;
  /// Arranges the set-up and returns the line that the browser must get.
  std::string (*arrange)(const Scratch& at);
};

class RegisterCheckFinds : public RegisterCheck, public testing::WithParamInterface<BrokenSetUp> {};

std::string rewrite_fix(CheckedBrowser browser) {
  return browser == CheckedBrowser::kFirefox
             ? "run qlx-host-register --firefox-extension ID (your add-on's id) to rewrite it"
             : "run qlx-host-register to rewrite it";
}

const BrokenSetUp kBrokenSetUps[] = {
    {"NoRegistration", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       return "Google Chrome: not registered: nothing is registered at " +
              registration_location(at.home.path, CheckedBrowser::kChrome) + " (per user) or " +
              machine_location(at.root.path, CheckedBrowser::kChrome) +
              " (per machine); browser error: " + std::string(kNotFound) +
              "; fix: run qlx-host-register";
     }},
    {"FirefoxNoRegistration", CheckedBrowser::kFirefox,
     [](const Scratch& at) {
       return "Firefox: not registered: nothing is registered at " +
              registration_location(at.home.path, CheckedBrowser::kFirefox) + " (per user) or " +
              machine_location(at.root.path, CheckedBrowser::kFirefox) +
              " (per machine); browser error: " + std::string(kNotFound) +
              "; fix: run qlx-host-register --firefox-extension ID (your add-on's id)";
     }},
    {"ManifestNotJson", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       const std::string text = "{\"name\": \"com.velmont.qlx\",";
       const std::string manifest =
           place_manifest(at.home.path, at.install.path, CheckedBrowser::kChrome, text);
       return failure(CheckedBrowser::kChrome,
                      "the manifest " + manifest + " is not JSON: " + parse_json(text).error().text,
                      kNotFound, rewrite_fix(CheckedBrowser::kChrome));
     }},
    {"WrongName", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.name = "com.velmont.qlx.old";
       const std::string manifest = at.place(CheckedBrowser::kChrome, broken);
       return failure(
           CheckedBrowser::kChrome,
           "the manifest " + manifest + " names \"com.velmont.qlx.old\", not \"com.velmont.qlx\"",
           kNotFound, rewrite_fix(CheckedBrowser::kChrome));
     }},
    {"WrongType", CheckedBrowser::kFirefox,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kFirefox);
       broken.type = "pipe";
       const std::string manifest = at.place(CheckedBrowser::kFirefox, broken);
       return failure(CheckedBrowser::kFirefox,
                      "the manifest " + manifest + " has \"type\" \"pipe\", not \"stdio\"",
                      kNotFound, rewrite_fix(CheckedBrowser::kFirefox));
     }},
    // Windows: the host in the manifest's own folder, where there is none.
    {"RelativePath", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.path = executable_name("qlx-native-host");
       const std::string manifest = at.place(CheckedBrowser::kChrome, broken);
       if (host_register::resolves_relative_host_path()) {
         const std::string host = path_to_utf8(Path(manifest).parent_path() / broken.path);
         return failure(CheckedBrowser::kChrome, "the host " + host + " does not exist", kNotFound,
                        "reinstall QLX, or run qlx-host-register --host PATH with the host's path");
       }
       return failure(CheckedBrowser::kChrome,
                      "the manifest " + manifest + " gives the host as \"" + broken.path +
                          "\", not an absolute path",
                      kNotFound, rewrite_fix(CheckedBrowser::kChrome));
     }},
    {"OriginNotAnOrigin", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.allowed = Json::array({"abcdefghijklmnopabcdefghijklmnop"});
       const std::string manifest = at.place(CheckedBrowser::kChrome, broken);
       return failure(CheckedBrowser::kChrome,
                      "the manifest " + manifest +
                          " lists \"abcdefghijklmnopabcdefghijklmnop\" in \"allowed_origins\", "
                          "not an origin \"chrome-extension://<id>/\"",
                      kNotFound, rewrite_fix(CheckedBrowser::kChrome));
     }},
    {"FirefoxListsAnOrigin", CheckedBrowser::kFirefox,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kFirefox);
       broken.allowed = Json::array({std::string(kOrigin)});
       const std::string manifest = at.place(CheckedBrowser::kFirefox, broken);
       return failure(CheckedBrowser::kFirefox,
                      "the manifest " + manifest + " lists \"" + std::string(kOrigin) +
                          "\" in \"allowed_extensions\", not an add-on id",
                      kNotFound, rewrite_fix(CheckedBrowser::kFirefox));
     }},
    {"NoExtensionAllowed", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.allowed = Json::array();
       const std::string manifest = at.place(CheckedBrowser::kChrome, broken);
       return failure(
           CheckedBrowser::kChrome,
           "the manifest " + manifest + " lets no extension connect (\"allowed_origins\" is empty)",
           kForbidden, "run qlx-host-register naming your extension");
     }},
    {"MissingHost", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.path = path_to_utf8(at.install.path / executable_name("qlx-native-host"));
       at.place(CheckedBrowser::kChrome, broken);
       return failure(CheckedBrowser::kChrome, "the host " + broken.path + " does not exist",
                      kNotFound,
                      "reinstall QLX, or run qlx-host-register --host PATH with the host's path");
     }},
    {"HostNotExecutable", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.path = path_to_utf8(unstartable_host(at.install.path));
       at.place(CheckedBrowser::kChrome, broken);
       return failure(CheckedBrowser::kChrome,
                      "the host " + broken.path + " is not an executable file", kCommunication,
                      "reinstall QLX, or make it an executable file (chmod +x on Linux)");
     }},
    {"HostPrintsBeforeItsReply", CheckedBrowser::kChrome,
     [](const Scratch& at) {
       Manifest broken = real_host(CheckedBrowser::kChrome);
       broken.path = path_to_utf8(programs_dir() / executable_name("noisy-host"));
       at.place(CheckedBrowser::kChrome, broken);
       // "QLX " read as a little-endian length.
       return failure(CheckedBrowser::kChrome,
                      "the host " + broken.path +
                          " wrote something other than a reply first (\"QLX ...\" announces a "
                          "message of 542657617 bytes): it must write nothing on stdout but its "
                          "replies",
                      kCommunication, "reinstall QLX, or fix or replace " + broken.path);
     }},
    {"DataDirectoryIsAFile", CheckedBrowser::kFirefox,
     [](const Scratch& at) {
       at.place(CheckedBrowser::kFirefox, real_host(CheckedBrowser::kFirefox));
       const Path data = data_dir_under(at.local.path);
       std::filesystem::create_directories(data.parent_path());
       EXPECT_TRUE(write_file(data, "not a folder"));
       const std::string why = ensure_dir(data).error().text;
       return failure(CheckedBrowser::kFirefox,
                      "the data directory " + path_to_utf8(data) + " cannot be created: " + why +
                          ", so add_download and file transfers fail",
                      "none", "make " + path_to_utf8(data) + " a folder that you can write");
     }},
};

TEST_P(RegisterCheckFinds, ItsLineAndExitsOne) {
  const std::string expected = GetParam().arrange(at_);
  const HostRun run = run_check();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.errors, "");
  const std::vector<std::string> lines = lines_of(run.output);
  ASSERT_EQ(lines.size(), kBrowsers.size()) << run.output;
  const std::string checked = browser_name(GetParam().browser);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(kBrowsers[i]);
    if (kBrowsers[i] == checked) {
      EXPECT_EQ(lines[i], expected);
    } else {
      EXPECT_TRUE(
          lines[i].starts_with(kBrowsers[i] + ": not registered: nothing is registered at "))
          << lines[i];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, RegisterCheckFinds, testing::ValuesIn(kBrokenSetUps), CaseName());

/// Hosts that misbehave only after they started, as shell scripts (POSIX only).
struct ScriptCase {
  std::string_view name;
  std::string_view script;   // HOST stands for the real host
  std::string_view finding;  // after "the host <script> "
  std::string_view error;
};

class RegisterCheckScript : public RegisterCheck, public testing::WithParamInterface<ScriptCase> {};

TEST_P(RegisterCheckScript, FindsTheHostsFault) {
  std::string body(GetParam().script);
  if (const std::size_t at = body.find("HOST"); at != std::string::npos) {
    body.replace(at, 4, path_to_utf8(host_executable()));
  }
  const Path script = script_host(at_.install.path, body);
  Manifest manifest = real_host(CheckedBrowser::kChrome);
  manifest.path = path_to_utf8(script);
  at_.place(CheckedBrowser::kChrome, manifest);
  const HostRun run = run_check();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(lines_of(run.output).front(),
            failure(CheckedBrowser::kChrome,
                    "the host " + manifest.path + " " + std::string(GetParam().finding),
                    GetParam().error, "reinstall QLX, or fix or replace " + manifest.path));
}

const ScriptCase kScriptCases[] = {
    // Ended by the tool after 2 s; the sleep would outlive any test.
    ScriptCase{"NeverAnswers", "exec sleep 600", "did not answer ping within 2 s", kCommunication},
    ScriptCase{"EndsWithoutAnswer", "exit 0", "ended without answering ping", kCommunication},
    ScriptCase{
        "AnotherVersionNotOk",
        R"(printf '\067\0\0\0{"host":"com.velmont.qlx","ok":false,"version":"1.0.6"}'; cat >/dev/null)",
        R"(answered ping with {"host":"com.velmont.qlx","ok":false,"version":"1.0.6"}, not {"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})",
        kCommunication},
    // This tool's version must answer exactly as this tool's host does.
    ScriptCase{
        "ItsVersionInOtherBytes",
        R"(printf '\066\0\0\0{"ok":true,"host":"com.velmont.qlx","version":"1.0.7"}'; cat >/dev/null)",
        R"(answered ping with {"ok":true,"host":"com.velmont.qlx","version":"1.0.7"}, not {"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})",
        kCommunication},
    ScriptCase{
        "HangsAtTheEndOfInput",
        R"(printf '\066\0\0\0{"host":"com.velmont.qlx","ok":true,"version":"1.0.7"}'; exec sleep 600)",
        "did not exit within 2 s of the end of its input", kCommunication},
    ScriptCase{"ExitsWithAnError", "HOST \"$@\"; exit 3",
               "exited with code 3 at the end of its input, not 0", kCommunication},
    ScriptCase{"WritesToStderr", "echo 'debug: started' >&2; exec HOST \"$@\"",
               "wrote to stderr: \"debug: started\"", "none"},
};

// Script hosts exist only where there is a shell: elsewhere the table is
// empty and these cases are not there at all, rather than skipped.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RegisterCheckScript);
INSTANTIATE_TEST_SUITE_P(Table, RegisterCheckScript,
                         testing::ValuesIn(kHasScriptHosts
                                               ? std::span<const ScriptCase>(kScriptCases)
                                               : std::span<const ScriptCase>()),
                         CaseName());

TEST_F(RegisterCheck, PassesWhenEveryRegisteredBrowserReachesTheHost) {
  const std::string chrome = at_.place(CheckedBrowser::kChrome, real_host(CheckedBrowser::kChrome));
  const std::string firefox =
      at_.place(CheckedBrowser::kFirefox, real_host(CheckedBrowser::kFirefox));
  const HostRun run = run_check();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.errors, "");
  const std::vector<std::string> lines = lines_of(run.output);
  ASSERT_EQ(lines.size(), kBrowsers.size()) << run.output;
  const std::string host = path_to_utf8(host_executable());
  EXPECT_EQ(lines.front(), "Google Chrome: ok (per user): " + chrome + " starts " + host);
  EXPECT_EQ(lines.back(), "Firefox: ok (per user): " + firefox + " starts " + host);
  // The data directory was tried and left as the host would have it.
  EXPECT_TRUE(qlx::is_directory(data_dir_under(at_.local.path)));
}

// A manifest beside the host that names it by its file name alone, as the
// MSI packages install it: Windows resolves the name against the manifest's
// folder; elsewhere the path must be absolute.
TEST_F(RegisterCheck, RelativeHostPathFollowsThePlatformsRule) {
  Manifest manifest = real_host(CheckedBrowser::kChrome);
  manifest.path = executable_name("qlx-native-host");
  const std::string chrome = at_.place(CheckedBrowser::kChrome, manifest);
  const Path host = Path(chrome).parent_path() / manifest.path;
  std::filesystem::copy_file(host_executable(), host,
                             std::filesystem::copy_options::overwrite_existing);
  const HostRun run = run_check();
  EXPECT_EQ(run.errors, "");
  const std::string line = lines_of(run.output).front();
  if (host_register::resolves_relative_host_path()) {
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(line, "Google Chrome: ok (per user): " + chrome + " starts " + path_to_utf8(host));
  } else {
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_EQ(line, failure(CheckedBrowser::kChrome,
                            "the manifest " + chrome + " gives the host as \"" + manifest.path +
                                "\", not an absolute path",
                            kNotFound, rewrite_fix(CheckedBrowser::kChrome)));
  }
}

// A host of another version that answers a well-formed ping passes, and its
// line says which version it is.
TEST_F(RegisterCheck, PassesAHostOfAnotherVersionAndShowsIt) {
  Manifest manifest = real_host(CheckedBrowser::kChrome);
  manifest.path = path_to_utf8(programs_dir() / executable_name("older-host"));
  const std::string chrome = at_.place(CheckedBrowser::kChrome, manifest);
  const HostRun run = run_check();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(lines_of(run.output).front(), "Google Chrome: ok (per user): " + chrome + " starts " +
                                              manifest.path + ", version 1.0.6 (this tool is " +
                                              std::string(kHostVersion) + ")");
}

TEST_F(RegisterCheck, FailsWhenNothingIsRegisteredOrOneRegistrationIsBroken) {
  EXPECT_EQ(run_check().exit_code, 1);
  at_.place(CheckedBrowser::kChrome, real_host(CheckedBrowser::kChrome));
  EXPECT_EQ(run_check().exit_code, 0);
  Manifest broken = real_host(CheckedBrowser::kFirefox);
  broken.name = "org.example.other";
  at_.place(CheckedBrowser::kFirefox, broken);
  EXPECT_EQ(run_check().exit_code, 1);
}

TEST_F(RegisterCheck, RefusesOtherArgumentsWithExitTwo) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--check", "--dry-run"},
        std::vector<std::string>{"--check", std::string(kOrigin.substr(19, 32))},
        std::vector<std::string>{"--check", "--host", "x"},
        std::vector<std::string>{"--uninstall", "--check"}}) {
    const HostRun run = run_check(arguments);
    EXPECT_EQ(run.exit_code, 2) << arguments.back();
    EXPECT_NE(run.errors.find("--check takes no other arguments"), std::string::npos) << run.errors;
    EXPECT_EQ(run.output, "");
  }
}

/// Registrations per user and per machine, and Chrome's policies: which
/// registration Chrome uses, and what its policies make of it.
struct Places {
  std::string user;           // the per-user manifest, as the tool reports it
  std::string user_location;  // the per-user registration place
  std::string machine;        // the per-machine manifest
  std::string user_host;      // the host that the per-user manifest starts, as reported
  std::string machine_host;   // the one that the per-machine manifest starts
  std::string where;          // where the policies are set
};

struct ScopeSetUp {
  std::string_view name;
  bool per_user;
  bool per_machine;
  std::string_view policies;              // Chrome's machine policies as JSON; empty: none
  std::string (*line)(const Places& at);  // the line that Chrome must get
};

class RegisterCheckScopes : public RegisterCheck, public testing::WithParamInterface<ScopeSetUp> {};

TEST_P(RegisterCheckScopes, ChromesLine) {
  const ScopeSetUp& setup = GetParam();
  Places places;
  places.user_location = registration_location(at_.home.path, CheckedBrowser::kChrome);
  places.user_host = path_to_utf8(host_executable());
  if (setup.per_user) {
    places.user = at_.place(CheckedBrowser::kChrome, real_host(CheckedBrowser::kChrome));
  }
  if (setup.per_machine) {
    const MachineHost host = machine_host(at_.root.path);
    Manifest manifest = real_host(CheckedBrowser::kChrome);
    manifest.path = host.named;
    places.machine =
        place_machine_manifest(at_.root.path, at_.install.path, CheckedBrowser::kChrome,
                               manifest_json(manifest, CheckedBrowser::kChrome));
    places.machine_host = host.reported;
  }
  if (!setup.policies.empty()) {
    places.where = set_chrome_policies(at_.root.path, *parse_json(setup.policies));
  }
  const std::string expected = setup.line(places);
  const HostRun run = run_check();
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, expected.starts_with("Google Chrome: ok") ? 0 : 1) << run.output;
  const std::vector<std::string> lines = lines_of(run.output);
  ASSERT_EQ(lines.size(), kBrowsers.size()) << run.output;
  EXPECT_EQ(lines.front(), expected);
}

constexpr std::string_view kBlockedError =
    "; browser error: \"Access to the specified native messaging host is forbidden.\"; fix: ";

const ScopeSetUp kScopeSetUps[] = {
    {"PerUserOnly", true, false, "",
     [](const Places& at) {
       return "Google Chrome: ok (per user): " + at.user + " starts " + at.user_host;
     }},
    {"PerMachineOnly", false, true, "",
     [](const Places& at) {
       return "Google Chrome: ok (per machine): " + at.machine + " starts " + at.machine_host;
     }},
    {"BothThePerUserOneWins", true, true, "",
     [](const Places& at) {
       return "Google Chrome: ok (per user, ahead of per machine): " + at.user + " starts " +
              at.user_host;
     }},
    {"BlockedByStar", true, false, R"({"NativeMessagingBlocklist": ["*"]})",
     [](const Places& at) {
       return "Google Chrome: FAIL (per user): the policy NativeMessagingBlocklist in " + at.where +
              " blocks every host (\"*\") and NativeMessagingAllowlist does not name "
              "com.velmont.qlx" +
              std::string(kBlockedError) +
              "add com.velmont.qlx to the policy NativeMessagingAllowlist";
     }},
    {"BlockedByStarAllowedAgain", true, false,
     R"({"NativeMessagingBlocklist": ["*"],
         "NativeMessagingAllowlist": ["org.example.other", "com.velmont.qlx"]})",
     [](const Places& at) {
       return "Google Chrome: ok (per user): " + at.user + " starts " + at.user_host;
     }},
    {"BlockedByName", false, true,
     R"({"NativeMessagingBlocklist": ["org.example.other", "com.velmont.qlx"]})",
     [](const Places& at) {
       return "Google Chrome: FAIL (per machine): the policy NativeMessagingBlocklist in " +
              at.where + " names com.velmont.qlx" + std::string(kBlockedError) +
              "remove com.velmont.qlx from the policy NativeMessagingBlocklist, or add it to "
              "NativeMessagingAllowlist";
     }},
    {"UserLevelHostsOffPerUserOnly", true, false, R"({"NativeMessagingUserLevelHosts": false})",
     [](const Places& at) {
       return "Google Chrome: FAIL (per user): the policy NativeMessagingUserLevelHosts in " +
              at.where + " is false, so Google Chrome ignores the registration " +
              at.user_location +
              "; browser error: \"Specified native messaging host not found.\"; fix: register "
              "the host per machine: run qlx-host-register --system " +
              std::string(kSystemRightsAdvice);
     }},
    {"UserLevelHostsOffBoth", true, true, R"({"NativeMessagingUserLevelHosts": false})",
     [](const Places& at) {
       return "Google Chrome: ok (per machine): " + at.machine + " starts " + at.machine_host;
     }},
};

INSTANTIATE_TEST_SUITE_P(Table, RegisterCheckScopes, testing::ValuesIn(kScopeSetUps), CaseName());

}  // namespace
}  // namespace qlx::testing_support
