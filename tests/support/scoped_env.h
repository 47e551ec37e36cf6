#pragma once

#include <optional>
#include <string>
#include <vector>

#include "child_process/child_process.h"

namespace qlx::testing_support {

/// Changes environment variables of this process (for in-process tests of
/// code that reads them) and restores each one when the record ends: a
/// variable that was unset is unset again, not set to "".
struct ScopedEnv {
  explicit ScopedEnv(const std::vector<EnvChange>& changes);
  ScopedEnv(const std::string& name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::vector<EnvChange> saved_;  // the earlier values, in the order of the changes
};

/// The variable's value in this process; nullopt when it is unset.
std::optional<std::string> get_env(const std::string& name);

/// Sets (a value) or removes (nullopt) one variable of this process.
void set_env(const std::string& name, const std::optional<std::string>& value);

}  // namespace qlx::testing_support
