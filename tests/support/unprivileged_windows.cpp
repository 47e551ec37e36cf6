#include "support/unprivileged.h"

namespace qlx::testing_support {

HostOptions without_permission_override(HostOptions options) {
  return options;
}

}  // namespace qlx::testing_support
