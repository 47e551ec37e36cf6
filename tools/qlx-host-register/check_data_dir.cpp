#include "check_data_dir.h"

#include "handoff/request_id.h"
#include "store/data_dir.h"

namespace qlx::host_register {

std::optional<Fault> check_data_dir() {
  auto fault = [](std::string finding, std::string fix) {
    return Fault{std::move(finding) + ", so add_download and file transfers fail",
                 BrowserError::kNone, std::move(fix)};
  };
  auto dir = data_dir();
  if (!dir) {
    return fault("the data directory cannot be found: " + dir.error().text,
                 "give the user a local application-data folder (XDG_DATA_HOME or HOME)");
  }
  const std::string where = "the data directory " + path_to_utf8(*dir);
  const std::string fix = "make " + path_to_utf8(*dir) + " a folder that you can write";
  if (auto made = ensure_dir(*dir); !made) {
    return fault(where + " cannot be created: " + made.error().text, fix);
  }
  auto id = make_request_id();
  if (!id) return fault(where + " cannot be tried: " + id.error().text, fix);
  const Path probe = *dir / ("qlx-host-register-check-" + *id + ".tmp");
  auto written = write_file(probe, "check");
  (void)remove_file(probe);
  if (!written) return fault(where + " cannot be written: " + written.error().text, fix);
  return std::nullopt;
}

}  // namespace qlx::host_register
