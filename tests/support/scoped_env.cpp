#include "support/scoped_env.h"

#include <ranges>

namespace qlx::testing_support {

ScopedEnv::ScopedEnv(const std::vector<EnvChange>& changes) {
  for (const EnvChange& change : changes) {
    saved_.push_back({change.name, get_env(change.name)});
    set_env(change.name, change.value);
  }
}

ScopedEnv::ScopedEnv(const std::string& name, std::optional<std::string> value)
    : ScopedEnv(std::vector<EnvChange>{{name, std::move(value)}}) {}

ScopedEnv::~ScopedEnv() {
  // Backwards, so that a variable changed twice gets its first value back.
  for (const EnvChange& earlier : std::views::reverse(saved_)) set_env(earlier.name, earlier.value);
}

}  // namespace qlx::testing_support
