// The Windows half of the harness's data-directory environment.
//
// Wine takes %USERPROFILE% in the "Local AppData" shell folder from its own
// idea of the user, not from the environment, so a child's USERPROFILE or
// LOCALAPPDATA does not move the folder.  tools/wine-run therefore sets the
// test prefix's "Local AppData" (REG_EXPAND_SZ, like the default) to
// %QLX_TEST_LOCAL_APP_DATA%, which the shell expands from each process's own
// environment: set, it is that process's folder; unset, the expanded path does
// not exist and SHGetKnownFolderPath fails.  On a real Windows machine the
// variable does nothing, and hosts use the user's own folder.
#include "support/host_session.h"

namespace qlx::testing_support {

std::vector<EnvChange> local_app_data_env(const Path& local_app_data) {
  return {{"QLX_TEST_LOCAL_APP_DATA", path_to_utf8(local_app_data)}};
}

std::vector<EnvChange> no_local_app_data_env() {
  return {{"QLX_TEST_LOCAL_APP_DATA", std::nullopt}};
}

AppDataToCreate app_data_to_create(const Path& scratch) {
  return {scratch, data_dir_under(scratch).parent_path()};
}

}  // namespace qlx::testing_support
