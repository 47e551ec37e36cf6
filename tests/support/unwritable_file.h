#pragma once

// A file that the host cannot write, whoever runs the tests (root included).

#include "platform/fs.h"
#include "platform/native_handle.h"
#include "support/host_session.h"

namespace qlx::testing_support {

/// Makes the existing `file` unwritable for hosts started with
/// for_unwritable_files() while the record lives, and writable again after.
/// POSIX: the file is read-only.  Windows: the file is read-only and held
/// open by the test without write sharing (Wine run as root writes
/// read-only files, but keeps to sharing).
class UnwritableFile {
 public:
  explicit UnwritableFile(Path file);
  ~UnwritableFile();
  UnwritableFile(const UnwritableFile&) = delete;
  UnwritableFile& operator=(const UnwritableFile&) = delete;

 private:
  Path file_;
  NativeHandle held_;
};

/// `options` changed so that file permissions bind the host as they bind any
/// user.  POSIX: a host of root runs through setpriv (util-linux) without
/// CAP_DAC_OVERRIDE; other users have nothing to drop.  Windows: unchanged.
HostOptions for_unwritable_files(HostOptions options);

}  // namespace qlx::testing_support
