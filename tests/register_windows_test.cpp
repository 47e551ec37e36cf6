// qlx-host-register on Windows: the manifest beside the host and one registry
// key per browser, read back with the system's own reg.exe.  (Under Wine the
// keys land in the build tree's own prefix.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

constexpr std::string_view kId = "abcdefghijklmnopabcdefghijklmnop";

// The per-user key of each browser, below HKEY_CURRENT_USER.
const std::vector<std::string> kBrowserKeys = {
    "Software\\Google\\Chrome\\NativeMessagingHosts\\com.velmont.qlx",
    "Software\\Chromium\\NativeMessagingHosts\\com.velmont.qlx",
    "Software\\Microsoft\\Edge\\NativeMessagingHosts\\com.velmont.qlx",
    "Software\\BraveSoftware\\Brave-Browser\\NativeMessagingHosts\\com.velmont.qlx",
    "Software\\Vivaldi\\NativeMessagingHosts\\com.velmont.qlx",
    "Software\\Opera Software\\NativeMessagingHosts\\com.velmont.qlx",
};
const std::string kFirefoxKey = "Software\\Mozilla\\NativeMessagingHosts\\com.velmont.qlx";

Path reg_exe() {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return Path(std::wstring(system, length)) / L"reg.exe";
}

/// Runs reg.exe with `arguments`.
HostRun reg(std::vector<std::string> arguments) {
  HostOptions options;
  options.executable = reg_exe();
  options.arguments = std::move(arguments);
  return run_host("", options);
}

/// The default value of <hive>\<key> as reg.exe shows it, or nullopt when the key is missing.
std::optional<std::string> default_value(const std::string& key, std::string_view hive = "HKCU") {
  const HostRun run = reg({"query", std::string(hive) + "\\" + key, "/ve"});
  if (run.exit_code != 0) return std::nullopt;
  const std::size_t type = run.output.find("REG_SZ");
  if (type == std::string::npos) return run.output;
  const std::size_t start = run.output.find_first_not_of(' ', type + 6);
  const std::size_t end = run.output.find_first_of("\r\n", start);
  return run.output.substr(start, end - start);
}

bool key_exists(const std::string& key, std::string_view hive = "HKCU") {
  return reg({"query", std::string(hive) + "\\" + key}).exit_code == 0;
}

std::string json_escaped(std::string text) {
  for (std::size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at + 2)) {
    text.insert(at, 1, '\\');
  }
  return text;
}

/// A manifest as the tool writes it for the host at `host`, with one entry in `list`.
std::string manifest_with(std::string_view list, std::string_view entry, const std::string& host) {
  return "{\n  \"" + std::string(list) + "\": [\n    \"" + std::string(entry) +
         "\"\n  ],\n"
         "  \"description\": \"QLX download manager: hands downloads from the browser to QLX\",\n"
         "  \"name\": \"com.velmont.qlx\",\n"
         "  \"path\": \"" +
         json_escaped(host) +
         "\",\n"
         "  \"type\": \"stdio\"\n"
         "}";
}

HostRun run_tool(std::vector<std::string> arguments) {
  HostOptions options;
  options.executable = programs_dir() / "qlx-host-register.exe";
  options.arguments = std::move(arguments);
  return run_host("", options);
}

/// `arguments` naming every Chromium-family browser with --browser, and
/// Firefox too when `firefox`: no browser is installed in the test's prefix.
std::vector<std::string> every_browser(std::vector<std::string> arguments, bool firefox = false) {
  for (std::string_view name : {"chrome", "chromium", "edge", "brave", "vivaldi", "opera"}) {
    arguments.insert(arguments.end(), {"--browser", std::string(name)});
  }
  if (firefox) arguments.insert(arguments.end(), {"--browser", "firefox"});
  return arguments;
}

// One test for the whole round, since every step shares the user's registry.
TEST(RegisterWindows, RegistersWithEveryBrowserAndRemovesOnlyItsOwnKeys) {
  TempDir install;
  const Path host = install.path / "qlx-native-host.exe";
  ASSERT_TRUE(write_file(host, "MZ"));
  const Path manifest = install.path / "com.velmont.qlx.json";
  const Path firefox_manifest = install.path / "com.velmont.qlx.firefox.json";
  const std::string host_text = path_to_utf8(host);
  const std::string manifest_text = path_to_utf8(manifest);

  {
    SCOPED_TRACE("a bad id and a dry run change nothing");
    HostRun run = run_tool({"--host", host_text, "ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.errors.find("not an extension id"), std::string::npos) << run.errors;
    run = run_tool(every_browser({"--dry-run", "--host", host_text, std::string(kId)}));
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_NE(run.output.find("would register with Brave: HKCU\\" + kBrowserKeys[3]),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(path_exists(manifest));
    for (const std::string& key : kBrowserKeys) EXPECT_EQ(default_value(key), std::nullopt) << key;
    run =
        run_tool(every_browser({"--host", host_text, "--firefox-extension", "qlx@velmont"}, true));
    EXPECT_EQ(run.exit_code, 0) << "a bare domain is an add-on id's domain";
    run = run_tool({"--uninstall", "--host", host_text});
    EXPECT_EQ(run.exit_code, 0);
    run = run_tool({"--host", host_text, "--firefox-extension", "{not-a-uuid}"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.errors.find("not a Firefox add-on id"), std::string::npos) << run.errors;
    EXPECT_EQ(default_value(kFirefoxKey), std::nullopt);
  }
  {
    SCOPED_TRACE("Firefox is left alone without --firefox-extension");
    const HostRun run = run_tool(every_browser({"--host", host_text}));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output.find("Firefox"), std::string::npos) << run.output;
    EXPECT_EQ(default_value(kFirefoxKey), std::nullopt);
    EXPECT_FALSE(path_exists(firefox_manifest));
  }
  {
    SCOPED_TRACE("register");
    const HostRun run = run_tool(every_browser(
        {"--host", host_text, std::string(kId), "--firefox-extension", "qlx@velmont.com"}, true));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(default_value(kFirefoxKey), path_to_utf8(firefox_manifest));
    auto firefox = read_file(firefox_manifest);
    ASSERT_TRUE(firefox);
    EXPECT_EQ(*firefox, manifest_with("allowed_extensions", "qlx@velmont.com", host_text));
    auto written = read_file(manifest);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written,
              manifest_with("allowed_origins",
                            "chrome-extension://abcdefghijklmnopabcdefghijklmnop/", host_text));
    for (const std::string& key : kBrowserKeys) EXPECT_EQ(default_value(key), manifest_text) << key;
  }
  {
    SCOPED_TRACE("uninstall leaves another host's registration");
    ASSERT_EQ(reg({"add", "HKCU\\" + kBrowserKeys[4], "/ve", "/d",
                   "C:\\other\\com.velmont.qlx.json", "/f"})
                  .exit_code,
              0);
    const HostRun run = run_tool({"--uninstall", "--host", host_text});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_NE(run.output.find("left alone for Vivaldi"), std::string::npos) << run.output;
    for (const std::string& key : kBrowserKeys) {
      if (key == kBrowserKeys[4]) continue;
      EXPECT_FALSE(key_exists(key)) << key;
    }
    EXPECT_EQ(default_value(kBrowserKeys[4]), "C:\\other\\com.velmont.qlx.json");
    // Keys made only for the registration are gone; the vendor's own stay.
    EXPECT_FALSE(key_exists("Software\\BraveSoftware"));
    EXPECT_FALSE(key_exists(kFirefoxKey));
    EXPECT_FALSE(path_exists(firefox_manifest));
    EXPECT_TRUE(key_exists("Software\\Microsoft"));
    EXPECT_FALSE(path_exists(manifest));
    EXPECT_TRUE(path_exists(host));
  }
  reg({"delete", "HKCU\\Software\\Vivaldi", "/f"});
}

// Per machine: the same keys below HKLM\SOFTWARE (the prefix's own under Wine).
TEST(RegisterWindows, SystemRegistersInHklmAndTakesItBack) {
  TempDir install;
  const Path host = install.path / "qlx-native-host.exe";
  ASSERT_TRUE(write_file(host, "MZ"));
  const std::string host_text = path_to_utf8(host);
  const std::string manifest = path_to_utf8(install.path / "com.velmont.qlx.json");
  const std::string firefox_manifest = path_to_utf8(install.path / "com.velmont.qlx.firefox.json");
  auto machine_key = [](const std::string& key) { return "SOFTWARE" + key.substr(8); };
  {
    SCOPED_TRACE("a dry run names HKLM and writes nothing");
    const HostRun run = run_tool({"--system", "--dry-run", "--host", host_text});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_NE(
        run.output.find("would register with Google Chrome: HKLM\\" + machine_key(kBrowserKeys[0])),
        std::string::npos)
        << run.output;
    EXPECT_EQ(default_value(machine_key(kBrowserKeys[0]), "HKLM"), std::nullopt);
  }
  {
    SCOPED_TRACE("register");
    const HostRun run = run_tool({"--system", "--host", host_text, std::string(kId),
                                  "--firefox-extension", "qlx@velmont.com"});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    for (const std::string& key : kBrowserKeys) {
      EXPECT_EQ(default_value(machine_key(key), "HKLM"), manifest) << key;
      EXPECT_FALSE(key_exists(key)) << "the user's key stays untouched: " << key;
    }
    EXPECT_EQ(default_value(machine_key(kFirefoxKey), "HKLM"), firefox_manifest);
    auto written = read_file(install.path / "com.velmont.qlx.json");
    ASSERT_TRUE(written);
    EXPECT_EQ(*written,
              manifest_with("allowed_origins",
                            "chrome-extension://abcdefghijklmnopabcdefghijklmnop/", host_text));
  }
  {
    SCOPED_TRACE("uninstall");
    const HostRun run = run_tool({"--system", "--uninstall", "--host", host_text});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    for (const std::string& key : kBrowserKeys) EXPECT_FALSE(key_exists(machine_key(key), "HKLM"));
    EXPECT_FALSE(key_exists(machine_key(kFirefoxKey), "HKLM"));
    EXPECT_FALSE(key_exists("SOFTWARE\\BraveSoftware", "HKLM"));
    EXPECT_FALSE(path_exists(install.path / "com.velmont.qlx.json"));
    EXPECT_TRUE(key_exists("SOFTWARE\\Microsoft", "HKLM"));
  }
}

// The browsers read HKLM's 32-bit view first: a key there, left by an older or
// 32-bit installer, is rewritten with the 64-bit one (and none is made where
// there is none), and uninstalling removes the host's key from both views.
TEST(RegisterWindows, SystemRewritesAKeyInThe32BitViewAndUninstallRemovesBoth) {
  TempDir install;
  const Path host = install.path / "qlx-native-host.exe";
  ASSERT_TRUE(write_file(host, "MZ"));
  const std::string host_text = path_to_utf8(host);
  const std::string manifest = path_to_utf8(install.path / "com.velmont.qlx.json");
  const std::string key = "SOFTWARE\\Google\\Chrome\\NativeMessagingHosts\\com.velmont.qlx";
  const std::string wow =
      "SOFTWARE\\WOW6432Node\\Google\\Chrome\\NativeMessagingHosts\\com.velmont.qlx";
  ASSERT_EQ(
      reg({"add", "HKLM\\" + wow, "/ve", "/d", "C:\\old\\com.velmont.qlx.json", "/f"}).exit_code,
      0);
  {
    SCOPED_TRACE("register");
    const HostRun run = run_tool({"--system", "--host", host_text});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_NE(run.output.find("registered with Google Chrome: HKLM\\" + wow), std::string::npos)
        << run.output;
    EXPECT_EQ(default_value(wow, "HKLM"), manifest);
    EXPECT_EQ(default_value(key, "HKLM"), manifest);
    EXPECT_FALSE(key_exists("SOFTWARE\\WOW6432Node\\BraveSoftware", "HKLM"));
    EXPECT_FALSE(key_exists("SOFTWARE\\WOW6432Node\\Mozilla\\NativeMessagingHosts", "HKLM"));
  }
  {
    SCOPED_TRACE("uninstall");
    const HostRun run = run_tool({"--system", "--uninstall", "--host", host_text});
    EXPECT_EQ(run.exit_code, 0) << run.errors;
    EXPECT_NE(run.output.find("removed from Google Chrome: HKLM\\" + wow), std::string::npos)
        << run.output;
    EXPECT_FALSE(key_exists(wow, "HKLM"));
    EXPECT_FALSE(key_exists(key, "HKLM"));
    EXPECT_FALSE(key_exists("SOFTWARE\\WOW6432Node\\Google\\Chrome\\NativeMessagingHosts", "HKLM"));
  }
}

}  // namespace
}  // namespace qlx::testing_support
