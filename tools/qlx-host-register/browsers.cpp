#include <algorithm>
#include <cctype>

#include "browsers.h"

namespace qlx::host_register {
namespace {

bool same_letters(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string_view view_label(RegistryView view) {
  switch (view) {
    case RegistryView::k32Bit:
      return "32-bit view";
    case RegistryView::k64Bit:
      return "64-bit view";
    case RegistryView::kOnly:
      break;
  }
  return "";
}

std::string scope_label(const BrowserTarget& target) {
  std::string label = target.scope == Scope::kMachine ? "per machine" : "per user";
  if (target.view != RegistryView::kOnly) label += ", " + std::string(view_label(target.view));
  return label;
}

std::string joined_names(std::span<const std::string> browsers) {
  std::string text;
  for (const std::string& browser : browsers) text += (text.empty() ? "" : ", ") + browser;
  return text;
}

bool is_installed(const BrowserPresence& presence) {
  return !presence.found.empty() || !presence.sandboxes.empty();
}

std::optional<std::string_view> browser_named(std::string_view name) {
  for (std::string_view browser : browser_names()) {
    const std::string_view last_word = browser.substr(browser.rfind(' ') + 1);
    if (same_letters(name, browser) || same_letters(name, last_word)) return browser;
  }
  return std::nullopt;
}

}  // namespace qlx::host_register
