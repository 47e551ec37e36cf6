#include <unistd.h>

#include <filesystem>

#include "support/unwritable_file.h"

namespace qlx::testing_support {

namespace fs = std::filesystem;

UnwritableFile::UnwritableFile(Path file) : file_(std::move(file)) {
  fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

HostOptions for_unwritable_files(HostOptions options) {
  if (::geteuid() != 0) return options;
  std::vector<std::string> arguments{"--bounding-set=-dac_override", "--",
                                     options.executable.string()};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  options.executable = "/usr/bin/setpriv";
  options.arguments = std::move(arguments);
  return options;
}

}  // namespace qlx::testing_support
