#include "support/host_session.h"

namespace qlx::testing_support {

std::vector<EnvChange> local_app_data_env(const Path& local_app_data) {
  return {{"XDG_DATA_HOME", local_app_data.string()}};
}

std::vector<EnvChange> no_local_app_data_env() {
  return {{"XDG_DATA_HOME", std::nullopt}, {"HOME", std::nullopt}};
}

AppDataToCreate app_data_to_create(const Path& scratch) {
  Path local = scratch;
  for (int level = 0; level < 8; ++level) local /= "deep" + std::to_string(level);
  return {local, scratch / "deep0"};
}

}  // namespace qlx::testing_support
