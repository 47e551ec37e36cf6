#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "identity/browser_key.h"
#include "platform/process_list.h"

namespace qlx {

/// How many ancestors the walk examines: the parent is the first.
inline constexpr int kAncestorLevels = 8;

/// The browser of one executable name (normalised first): "chrome.exe" and
/// "Chromium" are Chrome, "opera_gx.exe" is Opera, "opera_gx" is nothing.
std::optional<BrowserKey> browser_of_executable(std::string_view name);

/// Walks up from process `self` through `processes` (a later entry with the
/// same id replaces an earlier one), nearest ancestor first, up to and
/// including the eighth; the first ancestor whose executable names a browser
/// decides.  The walk ends with no key at a process or parent missing from
/// the list, at parent id 0 and at a process that is its own parent.
std::optional<BrowserKey> ancestor_browser(std::uint32_t self,
                                           std::span<const ProcessEntry> processes);

/// The ancestry key: ancestor_browser() over the system's processes, taken
/// once at start-up.  Never fails; anything unreadable gives no key.
std::optional<BrowserKey> detect_ancestor_browser();

}  // namespace qlx
