#pragma once
// Shared by the table-driven engine tests: each row carries a short name,
// which becomes the test's name, so that CTest lists every row on its own.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelmory::testing {

struct RowName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};

// The two non-point separators the tests use besides the comma.
inline constexpr const char* kArabicSeparator = "\xD9\xAB";  // U+066B, UTF-8

}  // namespace kelmory::testing

namespace kelmory {
namespace {  // the same unnamed namespace as the rows of the including file

// Failure messages show a row by its name rather than its bytes.
template <class Row>
requires requires(const Row& row) { std::string(row.name); }
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

}  // namespace
}  // namespace kelmory
