#pragma once

// --check's ping probe (check.h): starts the host the way a browser does,
// pings it, and lets it end, as the browser would see it.

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "check_report.h"
#include "manifest.h"

namespace qlx::host_register {

/// Starts the host that `facts` names, registered through the manifest at
/// `manifest`, sends it a ping and closes its input.  Returns the version
/// that the host answered with, or the fault that the browser would meet.
/// A host of another version passes when its reply is a well-formed ping
/// reply; one of this tool's version must answer byte for byte as it would.
std::expected<std::string, Fault> ping_host(BrowserFamily family, const Path& manifest,
                                            const ManifestFacts& facts);

/// The arguments after the program's name with which a browser of `family`
/// starts a host for `caller` (an origin "chrome-extension://<id>/" or an
/// add-on id), registered through the manifest at `manifest`.
std::vector<std::string> browser_arguments(BrowserFamily family, const Path& manifest,
                                           std::string_view caller);

}  // namespace qlx::host_register
