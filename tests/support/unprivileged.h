#pragma once

// Starting the host so that file permissions bind it as they bind any user.

#include "support/host_session.h"

namespace qlx::testing_support {

/// `options` changed so that the host cannot override file permissions: a
/// read-only file is then unwritable for it even when the tests run as root.
/// POSIX: a root host runs through setpriv without CAP_DAC_OVERRIDE (other
/// users have nothing to drop).  Windows: unchanged, as a read-only file is
/// read-only for every user there.
HostOptions without_permission_override(HostOptions options);

}  // namespace qlx::testing_support
