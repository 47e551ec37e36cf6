#include "support/check_setup.h"

namespace qlx::testing_support {

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

std::string browser_name(CheckedBrowser browser) {
  switch (browser) {
    case CheckedBrowser::kChrome:
      return "Google Chrome";
    case CheckedBrowser::kChromium:
      return "Chromium";
    case CheckedBrowser::kEdge:
      return "Microsoft Edge";
    case CheckedBrowser::kBrave:
      return "Brave";
    case CheckedBrowser::kVivaldi:
      return "Vivaldi";
    case CheckedBrowser::kOpera:
      return "Opera";
    case CheckedBrowser::kFirefox:
      break;
  }
  return "Firefox";
}

std::string_view sandbox_of(InstallSign sign) {
  switch (sign) {
    case InstallSign::kSnap:
    case InstallSign::kSnapProgram:
      return "a Snap";
    case InstallSign::kFlatpakUser:
      return "a Flatpak (per user)";
    case InstallSign::kFlatpakMachine:
      return "a Flatpak (per machine)";
    default:
      break;
  }
  return "";
}

}  // namespace qlx::testing_support
