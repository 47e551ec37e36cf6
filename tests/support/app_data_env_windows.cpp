// Provisional: replaced once the host looks up its known folder.
#include "support/host_session.h"

namespace qlx::testing_support {

std::vector<EnvChange> local_app_data_env(const Path& local_app_data) {
  return {{"LOCALAPPDATA", local_app_data.string()}};
}

std::vector<EnvChange> no_local_app_data_env() {
  return {{"LOCALAPPDATA", std::nullopt}};
}

}  // namespace qlx::testing_support
