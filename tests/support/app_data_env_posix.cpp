#include "support/host_session.h"

namespace qlx::testing_support {

std::vector<EnvChange> local_app_data_env(const Path& local_app_data) {
  return {{"XDG_DATA_HOME", local_app_data.string()}};
}

std::vector<EnvChange> no_local_app_data_env() {
  return {{"XDG_DATA_HOME", std::nullopt}, {"HOME", std::nullopt}};
}

}  // namespace qlx::testing_support
