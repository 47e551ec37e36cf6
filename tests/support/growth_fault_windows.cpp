#include "support/growth_fault.h"

namespace qlx::testing_support {

bool growth_faults_supported() {
  return false;
}

GrowthFault::GrowthFault(std::uint64_t) {}

GrowthFault::~GrowthFault() = default;

}  // namespace qlx::testing_support
