#pragma once

#include <string>

#include <gtest/gtest.h>

namespace qlx::testing_support {

/// Names each row of a table test by its `name` field, so a failure says which case broke.
struct CaseName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return std::string(row.param.name);
  }
};

}  // namespace qlx::testing_support
