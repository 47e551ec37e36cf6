// qlx-host-register's command line, parsed in-process: one row per command
// line, with the options it gives or the usage error it ends with.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/names.h"
#include "qlx-host-register/options.h"
#include "support/case_name.h"

namespace qlx::host_register {
namespace {

constexpr std::string_view kId = "abcdefghijklmnopabcdefghijklmnop";
constexpr std::string_view kOtherId = "ponmlkjihgfedcbaponmlkjihgfedcba";

struct OptionsCase {
  std::string_view name;
  std::vector<std::string> args;
  std::string error;  // the usage error; empty: `options`
  Options options;
};

OptionsCase gives(std::string_view name, std::vector<std::string> args, Options options) {
  return OptionsCase{name, std::move(args), "", std::move(options)};
}

OptionsCase refuses(std::string_view name, std::vector<std::string> args, std::string error) {
  return OptionsCase{name, std::move(args), std::move(error), Options{}};
}

class ParseOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(ParseOptions, GivesTheOptionsOrTheUsageError) {
  const OptionsCase& row = GetParam();
  auto options = parse_options(row.args);
  if (!row.error.empty()) {
    ASSERT_FALSE(options) << "parsed, but should fail with: " << row.error;
    EXPECT_EQ(options.error().text, row.error);
    return;
  }
  ASSERT_TRUE(options) << options.error().text;
  EXPECT_EQ(options->action, row.options.action);
  EXPECT_EQ(options->mode, row.options.mode);
  EXPECT_EQ(options->host, row.options.host);
  EXPECT_EQ(options->extension_ids, row.options.extension_ids);
  EXPECT_EQ(options->addon_ids, row.options.addon_ids);
  EXPECT_EQ(options->browsers, row.options.browsers);
  EXPECT_EQ(options->scope, row.options.scope);
  EXPECT_EQ(options->root, row.options.root);
}

/// `options` per machine, under `root`.
Options per_machine(Options options, Path root = {}) {
  options.scope = Scope::kMachine;
  options.root = std::move(root);
  return options;
}

/// `options` with --browser naming `browsers`.
Options naming(Options options, std::vector<std::string> browsers) {
  options.browsers = std::move(browsers);
  return options;
}

std::vector<OptionsCase> options_cases() {
  const std::string id(kId);
  const std::string other(kOtherId);
  const std::vector<std::string> qlx{std::string(kQlxExtensionId)};
  const std::string uuid = "{01234567-89ab-cdef-0123-456789ABCDEF}";
  const std::optional<Path> no_host;
  std::vector<OptionsCase> cases = {
      gives("NothingRegistersTheQlxExtension", {},
            {Action::kRegister, Mode::kApply, no_host, qlx, {}}),
      gives("IdsInOrderWithoutRepeats", {id, other, id},
            {Action::kRegister, Mode::kApply, no_host, {id, other}, {}}),
      gives("DryRunWithHost", {"--dry-run", "--host", "/opt/qlx/qlx-native-host"},
            {Action::kRegister, Mode::kDryRun, Path("/opt/qlx/qlx-native-host"), qlx, {}}),
      gives("FirefoxAddOnsWithoutRepeats",
            {"--firefox-extension", "qlx@velmont.com", "--firefox-extension", uuid,
             "--firefox-extension", "qlx@velmont.com"},
            {Action::kRegister, Mode::kApply, no_host, qlx, {"qlx@velmont.com", uuid}}),
      gives("Uninstall", {"--uninstall", "--dry-run"},
            {Action::kUninstall, Mode::kDryRun, no_host, qlx, {}}),
      gives("Check", {"--check"}, {Action::kCheck, Mode::kApply, no_host, {}, {}}),
      gives("HelpStopsTheParsing", {"--help", "--bogus"},
            {Action::kHelp, Mode::kApply, no_host, {}, {}}),
      gives("ShortHelp", {"-h"}, {Action::kHelp, Mode::kApply, no_host, {}, {}}),
      refuses("BadArgumentBeforeHelp", {"--bogus", "--help"}, "unknown option --bogus"),
      refuses("NotAnExtensionId", {"abcdefghijklmnopabcdefghijklmnoq"},
              "not an extension id (32 letters a to p): abcdefghijklmnopabcdefghijklmnoq"),
      refuses("ShortExtensionId", {"abc"}, "not an extension id (32 letters a to p): abc"),
      refuses("NotAnAddOnId", {"--firefox-extension", "qlx"},
              "not a Firefox add-on id (name@domain or {uuid}): qlx"),
      refuses("AddOnIdMissing", {"--firefox-extension"}, "--firefox-extension needs an add-on id"),
      refuses("HostMissing", {"--host"}, "--host needs a path"),
      refuses("UninstallWithIds", {"--uninstall", id}, "--uninstall takes no extension ids"),
      refuses("CheckWithDryRun", {"--check", "--dry-run"}, "--check takes no other arguments"),
      refuses("CheckWithHost", {"--check", "--host", "x"}, "--check takes no other arguments"),
      refuses("CheckWithAnId", {"--check", id}, "--check takes no other arguments"),
      refuses("CheckAfterUninstall", {"--uninstall", "--check"},
              "--check takes no other arguments"),
      refuses("CheckTwice", {"--check", "--check"}, "--check takes no other arguments"),
      gives("System", {"--system"},
            per_machine({Action::kRegister, Mode::kApply, no_host, qlx, {}})),
      gives("UninstallSystem", {"--uninstall", "--system", "--dry-run"},
            per_machine({Action::kUninstall, Mode::kDryRun, no_host, qlx, {}})),
      refuses("CheckSystem", {"--check", "--system"}, "--check takes no other arguments"),
      refuses("RootWithoutAFolder", {"--system", "--root"}, "--root needs a folder"),
      gives("BrowsersByEitherNameWithoutRepeats",
            {"--browser", "chrome", "--browser", "Microsoft Edge", "--browser", "CHROME"},
            naming({Action::kRegister, Mode::kApply, no_host, qlx, {}},
                   {"Google Chrome", "Microsoft Edge"})),
      gives("FirefoxNamedWithItsAddOn",
            {"--dry-run", "--browser", "firefox", "--firefox-extension", "qlx@velmont.com"},
            naming({Action::kRegister, Mode::kDryRun, no_host, qlx, {"qlx@velmont.com"}},
                   {"Firefox"})),
      refuses("BrowserMissing", {"--browser"}, "--browser needs a browser's name"),
      refuses("UnknownBrowser", {"--browser", "netscape"},
              "no browser is named netscape (chrome, chromium, edge, brave, vivaldi, opera or "
              "firefox)"),
      refuses("FirefoxWithoutAnAddOn", {"--browser", "firefox"},
              "--browser firefox needs --firefox-extension ID"),
      refuses("AddOnWithoutFirefoxNamed",
              {"--browser", "brave", "--firefox-extension", "qlx@velmont.com"},
              "--firefox-extension with --browser needs --browser firefox too"),
      refuses("BrowserWithSystem", {"--system", "--browser", "chrome"},
              "--browser goes with a registration per user: --system registers with every "
              "browser"),
      refuses("UninstallWithBrowser", {"--uninstall", "--browser", "chrome"},
              "--uninstall takes no --browser: it removes every registration of this host"),
      refuses("CheckWithBrowser", {"--check", "--browser", "chrome"},
              "--check takes no other arguments"),
  };
  if (has_system_root()) {
    // A trailing separator and "." steps are dropped.
    cases.push_back(
        gives("SystemUnderARoot", {"--system", "--root", "/tmp/pkg/./"},
              per_machine({Action::kRegister, Mode::kApply, no_host, qlx, {}}, Path("/tmp/pkg"))));
    cases.push_back(
        gives("CheckUnderARoot", {"--check", "--root", "/tmp/pkg"},
              per_machine({Action::kCheck, Mode::kApply, no_host, {}, {}}, Path("/tmp/pkg"))));
    cases.back().options.scope = Scope::kUser;
    // Per user, the root is where Snaps and the machine's Flatpaks are looked for.
    cases.push_back(gives("RegisterPerUserUnderARoot", {"--root", "/tmp/pkg"},
                          {Action::kRegister, Mode::kApply, no_host, qlx, {}}));
    cases.back().options.root = "/tmp/pkg";
    cases.push_back(gives("UninstallPerUserUnderARoot", {"--uninstall", "--root", "/tmp/pkg"},
                          {Action::kUninstall, Mode::kApply, no_host, qlx, {}}));
    cases.back().options.root = "/tmp/pkg";
  } else {
    cases.push_back(refuses("RootOnWindows", {"--system", "--root", "C:\\pkg"},
                            "--root is for Linux and other POSIX systems"));
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, ParseOptions, testing::ValuesIn(options_cases()),
                         testing_support::CaseName());

}  // namespace
}  // namespace qlx::host_register
