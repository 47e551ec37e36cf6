#include <unistd.h>

#include "support/unprivileged.h"

namespace qlx::testing_support {

HostOptions without_permission_override(HostOptions options) {
  if (::geteuid() != 0) return options;
  std::vector<std::string> arguments{"--bounding-set=-dac_override", "--",
                                     options.executable.string()};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  options.executable = "/usr/bin/setpriv";
  options.arguments = std::move(arguments);
  return options;
}

}  // namespace qlx::testing_support
