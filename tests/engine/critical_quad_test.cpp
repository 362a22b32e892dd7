// The critical values as a build whose long double is only a double computes
// them: every quantile in 113 bits (this test's critical_values.cpp is built
// with KELMORY_CRITICAL_VALUES_IN_QUAD). Each of the 200 reference values
// from mpmath must come out correctly rounded, as strtod rounds its text.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <string>

#include "engine/critical_values.h"

namespace kelmory {
namespace {

TEST(CriticalValuesInQuad, AreCorrectlyRounded) {
  std::ifstream in(KELMORY_CRITICAL_REFERENCE);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  int checked = 0;
  while (std::getline(in, line)) {
    SCOPED_TRACE(line);
    char* end = nullptr;
    const double level = std::strtod(line.c_str(), &end);
    const double df = std::strtod(end + 1, &end);
    const double expected = std::strtod(end + 1, &end);
    ASSERT_EQ(*end, '\0');
    const auto value = df ? StudentCritical(level, df) : NormalCritical(level);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, expected) << std::setprecision(17) << *value << " vs " << expected;
    ++checked;
  }
  EXPECT_EQ(checked, 200);
  EXPECT_FALSE(NormalCritical(100));
  EXPECT_FALSE(StudentCritical(95, 0));
}

}  // namespace
}  // namespace kelmory
