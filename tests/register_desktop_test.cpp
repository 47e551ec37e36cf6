// qlx-host-register on desktops that hold some browsers and lack others: one
// row per desktop, made of the signs that show a browser installed (its
// folders, its program, its App Paths key; on Linux also Snap and Flatpak
// layouts of empty folders and stub executables).  Each row gives the lines
// that --check prints before and after a per-user registration, the browsers
// that the registration writes for, and the exit codes.  The same table runs
// on Linux (a scratch HOME, PATH and --root) and under Wine (the prefix's
// registry and application-data folders).
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "support/case_name.h"
#include "support/check_setup.h"
#include "support/files.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

constexpr std::string_view kAddon = "qlx@velmont.com";

struct Placed {
  CheckedBrowser browser;
  InstallSign sign;
};

struct DesktopCase {
  std::string_view name;
  std::vector<Placed> signs;  // what the desktop holds, each browser's in the tool's order
  std::vector<CheckedBrowser>
      installed;  // the browsers that count as installed, in the tool's order
};

bool is_sandbox(InstallSign sign) {
  return !sandbox_of(sign).empty();
}

std::string names_of(std::span<const CheckedBrowser> browsers) {
  std::string names;
  for (CheckedBrowser browser : browsers) {
    names += (names.empty() ? "" : ", ") + browser_name(browser);
  }
  return names;
}

std::string not_found_line(CheckedBrowser browser) {
  return "; browser error: \"Specified native messaging host not found.\"; fix: " +
         std::string(browser == CheckedBrowser::kFirefox
                         ? "run qlx-host-register --firefox-extension ID (your add-on's id)"
                         : "run qlx-host-register");
}

/// A scratch desktop: HOME, the local data folder, the root of the system's
/// folders, and a folder with a copy of the host.
class RegisterOnADesktop : public testing::Test {
 protected:
  RegisterOnADesktop() { host_ = host_copy(install_.path); }
  ~RegisterOnADesktop() override { remove_registrations(); }

  /// Runs the tool with `arguments` and the scratch root.
  HostRun run_tool(std::vector<std::string> arguments) const {
    const std::vector<std::string> root = root_arguments(root_.path);
    arguments.insert(arguments.end(), root.begin(), root.end());
    HostOptions options;
    options.executable = programs_dir() / executable_name("qlx-host-register");
    options.arguments = std::move(arguments);
    options.env = check_env(home_.path, local_.path, root_.path);
    return run_host("", options);
  }

  std::string place(CheckedBrowser browser, InstallSign sign) const {
    return place_sign(home_.path, local_.path, root_.path, browser, sign);
  }

  /// The line of a browser with no registration anywhere.
  std::string unregistered_line(CheckedBrowser browser) const {
    return browser_name(browser) + ": not registered: nothing is registered at " +
           unregistered_places(home_.path, root_.path, browser) + not_found_line(browser);
  }

  /// The line of a browser that reaches the host through the tool's per-user registration.
  std::string reached_line(CheckedBrowser browser, std::string_view installed = "") const {
    return browser_name(browser) + std::string(installed) +
           ": ok (per user): " + registered_manifest(home_.path, install_.path, browser) +
           " starts " + path_to_utf8(host_);
  }

  TempDir home_;
  TempDir local_;
  TempDir root_;
  TempDir install_;
  Path host_;
};

class RegisterDesktop : public RegisterOnADesktop, public testing::WithParamInterface<DesktopCase> {
 protected:
  /// The lines that --check must print: each installed browser's (`line`),
  /// each followed by its sandboxes', then the browsers not installed.
  std::vector<std::string> report(std::string (*line)(const RegisterDesktop&,
                                                      CheckedBrowser)) const {
    std::vector<std::string> lines;
    std::vector<CheckedBrowser> absent;
    for (CheckedBrowser browser : kEveryBrowser) {
      if (std::ranges::find(GetParam().installed, browser) == GetParam().installed.end()) {
        absent.push_back(browser);
        continue;
      }
      lines.push_back(line(*this, browser));
      for (std::size_t i = 0; i < GetParam().signs.size(); ++i) {
        const Placed& placed = GetParam().signs[i];
        if (placed.browser != browser || !is_sandbox(placed.sign)) continue;
        lines.push_back(browser_name(browser) + ": in " + std::string(sandbox_of(placed.sign)) +
                        " at " + where_[i] +
                        ": a sandboxed browser may be unable to start a native host outside the "
                        "sandbox; fix: use your distribution's own package of " +
                        browser_name(browser) + ", or the browser vendor's package");
      }
    }
    if (!absent.empty()) lines.push_back("not installed: " + names_of(absent));
    return lines;
  }

  static std::string unregistered(const RegisterDesktop& at, CheckedBrowser browser) {
    return at.unregistered_line(browser);
  }
  static std::string reached(const RegisterDesktop& at, CheckedBrowser browser) {
    return at.reached_line(browser);
  }

  std::vector<std::string> where_;  // what the tool names for each of the row's signs
};

TEST_P(RegisterDesktop, ChecksRegistersAndChecksAgain) {
  const DesktopCase& desktop = GetParam();
  for (const Placed& placed : desktop.signs) where_.push_back(place(placed.browser, placed.sign));
  {
    SCOPED_TRACE("--check before: nothing is registered");
    const HostRun run = run_tool({"--check"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(lines_of(run.output), report(unregistered));
  }
  const std::vector<std::string> before = files_below(home_.path);
  const HostRun run =
      run_tool({"--host", path_to_utf8(host_), "--firefox-extension", std::string(kAddon)});
  std::vector<std::string> registered;
  for (CheckedBrowser browser : desktop.installed) registered.push_back(browser_name(browser));
  EXPECT_EQ(registered_browsers(home_.path), registered);
  if (desktop.installed.empty()) {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(lines_of(run.errors),
              std::vector<std::string>{
                  "qlx-host-register: found none of " + names_of(kEveryBrowser) +
                  " installed, so nothing was registered; name a browser with --browser NAME to "
                  "register with it all the same"});
    EXPECT_EQ(files_below(install_.path), std::vector<std::string>{path_to_utf8(host_.filename())});
    EXPECT_EQ(files_below(home_.path), before);
    return;
  }
  EXPECT_EQ(run.exit_code, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  // Nothing in HOME but the registrations' own files: none in a sandbox's folders.
  std::vector<std::string> expected = before;
  for (CheckedBrowser browser : desktop.installed) {
    const Path copy = registered_manifest(home_.path, install_.path, browser);
    if (copy.string().starts_with(home_.path.string())) {
      expected.push_back(copy.lexically_relative(home_.path).generic_string());
    }
  }
  std::ranges::sort(expected);
  EXPECT_EQ(files_below(home_.path), expected);
  {
    SCOPED_TRACE("--check after the registration");
    const HostRun check = run_tool({"--check"});
    EXPECT_EQ(check.exit_code, 0);
    EXPECT_EQ(check.errors, "");
    EXPECT_EQ(lines_of(check.output), report(reached));
  }
}

using B = CheckedBrowser;
using S = InstallSign;

std::vector<DesktopCase> desktops() {
  std::vector<DesktopCase> rows = {
      {"NothingInstalled", {}, {}},
      {"ChromeByItsUserFolder", {{B::kChrome, S::kUserFolder}}, {B::kChrome}},
      {"FirefoxByItsUserFolder", {{B::kFirefox, S::kUserFolder}}, {B::kFirefox}},
      {"BraveByItsProgramPerUser", {{B::kBrave, S::kUserProgram}}, {B::kBrave}},
      {"EdgeAndFirefoxByTheirProgramsPerMachine",
       {{B::kEdge, S::kMachineProgram}, {B::kFirefox, S::kMachineProgram}},
       {B::kEdge, B::kFirefox}},
      {"EveryBrowser",
       {{B::kChrome, S::kUserFolder},
        {B::kChromium, S::kUserFolder},
        {B::kEdge, S::kUserFolder},
        {B::kBrave, S::kUserFolder},
        {B::kVivaldi, S::kUserFolder},
        {B::kOpera, S::kUserFolder},
        {B::kFirefox, S::kUserFolder}},
       {B::kChrome, B::kChromium, B::kEdge, B::kBrave, B::kVivaldi, B::kOpera, B::kFirefox}},
  };
  if (kHasSandboxes) {
    const std::vector<DesktopCase> posix = {
        {"HostsFolderAloneIsNoSign",
         {{B::kBrave, S::kHostsFolderOnly}, {B::kOpera, S::kNotExecutable}},
         {}},
        {"ChromiumInASnap", {{B::kChromium, S::kSnap}}, {B::kChromium}},
        {"FirefoxSnapProgramOnPath", {{B::kFirefox, S::kSnapProgram}}, {B::kFirefox}},
        {"ChromeFlatpakPerUser", {{B::kChrome, S::kFlatpakUser}}, {B::kChrome}},
        {"EdgeFlatpakPerMachine", {{B::kEdge, S::kFlatpakMachine}}, {B::kEdge}},
        {"BraveInBothFlatpaks",
         {{B::kBrave, S::kFlatpakUser}, {B::kBrave, S::kFlatpakMachine}},
         {B::kBrave}},
        {"FirefoxFromTheDistributionAndASnap",
         {{B::kFirefox, S::kMachineProgram}, {B::kFirefox, S::kSnap}},
         {B::kFirefox}},
    };
    rows.insert(rows.end(), posix.begin(), posix.end());
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, RegisterDesktop, testing::ValuesIn(desktops()), CaseName());

// With Chromium installed: a dry run shows the choice; --browser registers
// with absent browsers, whose registrations --check still follows, and
// --uninstall removes them.
TEST_F(RegisterOnADesktop, RegisterChoosesInstalledBrowsersOrTheNamedOnes) {
  const std::string chromium = place(CheckedBrowser::kChromium, InstallSign::kUserFolder);
  const std::string host = path_to_utf8(host_);
  {
    SCOPED_TRACE("a dry run names the installed browser, why, and the others");
    const HostRun run = run_tool({"--dry-run", "--host", host});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    std::vector<std::string> steps;
    for (const std::string& line : lines_of(run.output)) {
      if (line.starts_with("would register") || line.starts_with("not installed")) {
        steps.push_back(line);
      }
    }
    EXPECT_EQ(steps,
              (std::vector<std::string>{
                  "would register with Chromium: " +
                      registration_location(home_.path, CheckedBrowser::kChromium) +
                      " (installed: " + chromium + ")",
                  "not installed, so left alone: Google Chrome, Microsoft Edge, Brave, Vivaldi, "
                  "Opera (--browser NAME registers with one all the same)"}));
    EXPECT_EQ(registered_browsers(home_.path), std::vector<std::string>{});
    EXPECT_EQ(files_below(install_.path), std::vector<std::string>{path_to_utf8(host_.filename())});
  }
  {
    SCOPED_TRACE("--browser: the named browsers only, installed or not");
    const HostRun run = run_tool({"--host", host, "--browser", "brave", "--browser", "Vivaldi"});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(
        lines_of(run.output),
        (std::vector<std::string>{
            "wrote " + path_to_utf8(install_.path / "com.velmont.qlx.json"),
            "registered with Brave: " + registration_location(home_.path, CheckedBrowser::kBrave) +
                " (named with --browser)",
            "registered with Vivaldi: " +
                registration_location(home_.path, CheckedBrowser::kVivaldi) +
                " (named with --browser)"}));
    EXPECT_EQ(registered_browsers(home_.path), (std::vector<std::string>{"Brave", "Vivaldi"}));
  }
  {
    SCOPED_TRACE("--check follows the registrations of browsers that are not installed");
    const HostRun run = run_tool({"--check"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(
        lines_of(run.output),
        (std::vector<std::string>{unregistered_line(CheckedBrowser::kChromium),
                                  reached_line(CheckedBrowser::kBrave, " (not installed)"),
                                  reached_line(CheckedBrowser::kVivaldi, " (not installed)"),
                                  "not installed: Google Chrome, Microsoft Edge, Opera, Firefox"}));
  }
  {
    SCOPED_TRACE("--uninstall removes every registration that it finds");
    const HostRun run = run_tool({"--uninstall", "--host", host});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_EQ(registered_browsers(home_.path), std::vector<std::string>{});
    EXPECT_EQ(files_below(install_.path), std::vector<std::string>{path_to_utf8(host_.filename())});
  }
}

}  // namespace
}  // namespace qlx::testing_support
