#include "identity/browser_key.h"

#include <array>
#include <utility>

#include "base/member.h"

namespace qlx {
namespace {

using enum BrowserKey;

// Every character with the Unicode White_Space property, UTF-8 encoded.
constexpr std::array<std::string_view, 25> kWhiteSpace{
    "\t",           "\n",           "\v",           "\f",           "\r",           " ",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

std::size_t leading_white_space(std::string_view text) {
  for (const auto space : kWhiteSpace) {
    if (text.starts_with(space)) return space.size();
  }
  return 0;
}

std::size_t trailing_white_space(std::string_view text) {
  for (const auto space : kWhiteSpace) {
    if (text.ends_with(space)) return space.size();
  }
  return 0;
}

void lower_ascii(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

constexpr std::array<BrowserKey, 5> kKeys{kBrave, kEdge, kVivaldi, kOpera, kChrome};

// Searched in this order in the lowered "source": Chrome's texts come last
// because the other browsers' user agents carry "chrome/" too.
constexpr std::array<std::pair<std::string_view, BrowserKey>, 10> kSourceMarkers{{
    {"qlx-extension:brave:", kBrave},
    {" brave/", kBrave},
    {"qlx-extension:edge:", kEdge},
    {"edg/", kEdge},
    {"qlx-extension:vivaldi:", kVivaldi},
    {"vivaldi/", kVivaldi},
    {"qlx-extension:opera:", kOpera},
    {"opr/", kOpera},
    {"qlx-extension:chrome:", kChrome},
    {"chrome/", kChrome},
}};

}  // namespace

std::string_view browser_key_text(BrowserKey key) {
  switch (key) {
    case kBrave:
      return "brave";
    case kEdge:
      return "edge";
    case kVivaldi:
      return "vivaldi";
    case kOpera:
      return "opera";
    case kChrome:
      return "chrome";
  }
  return "chrome";
}

std::string normalize_browser_name(std::string_view name) {
  while (const std::size_t n = leading_white_space(name)) name.remove_prefix(n);
  while (const std::size_t n = trailing_white_space(name)) name.remove_suffix(n);
  std::string normalized(name);
  lower_ascii(normalized);
  return normalized;
}

std::optional<BrowserKey> resolve_browser_key(const Message& message,
                                              std::optional<BrowserKey> ancestry_key) {
  if (ancestry_key) return ancestry_key;
  if (const auto browser_id = string_member(message, "browser_id")) {
    const std::string normalized = normalize_browser_name(*browser_id);
    for (const BrowserKey key : kKeys) {
      if (normalized == browser_key_text(key)) return key;
    }
  }
  if (const auto source = string_member(message, "source")) {
    std::string lowered = *source;
    lower_ascii(lowered);
    for (const auto& [marker, key] : kSourceMarkers) {
      if (lowered.find(marker) != std::string::npos) return key;
    }
  }
  return std::nullopt;
}

}  // namespace qlx
