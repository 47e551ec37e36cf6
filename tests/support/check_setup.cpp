#include "support/check_setup.h"

namespace qlx::testing_support {

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
