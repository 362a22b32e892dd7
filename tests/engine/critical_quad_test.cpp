// The critical values as a build whose long double is not x87's computes
// them: a double estimate refined in 113 bits, or Boost's 113-bit quantile
// when that is too close to call (this test's critical_values.cpp is built
// with KELMORY_CRITICAL_VALUES_IN_QUAD).

#include <gtest/gtest.h>

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <string>

#include "engine/critical_values.h"
#include "tests/engine/critical_reference.h"

namespace kelmory {
namespace {

TEST(CriticalValuesInQuad, AreTheReferenceValuesCorrectlyRounded) {
  int checked = 0;
  for (const auto& reference : testing::ReadCriticalReferences(KELMORY_CRITICAL_REFERENCES)) {
    SCOPED_TRACE(reference.line);
    const auto decimal = ReadExactDecimal(reference.text, '.');
    ASSERT_TRUE(decimal);
    const auto value = reference.kind == "p" ? StudentTwoSidedP(*decimal, reference.df)
                       : reference.df        ? StudentCritical(*decimal, reference.df)
                                             : NormalCritical(*decimal);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, reference.value) << std::setprecision(17) << *value;
    ++checked;
  }
  EXPECT_EQ(checked, 320);
  EXPECT_FALSE(NormalCritical(100));
  EXPECT_FALSE(StudentCritical(95, 0));
}

// Levels and df as a review has them and well beyond (fractional df, a
// million df, nines, low levels), against Boost's quantile in 50 digits:
// another algorithm (it inverts by iterating) at a precision where rounding
// to double is never in doubt for these.
TEST(CriticalValuesInQuad, AgreeWithFiftyDigitQuantiles) {
  using Fifty = boost::multiprecision::cpp_bin_float_50;
  std::uint64_t state = 12345;
  const auto next = [&state](std::uint64_t below) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 33) % below;
  };
  for (int i = 0; i < 400; ++i) {
    std::string level;
    switch (i % 4) {
      case 0:
        level = std::to_string(50 + next(50));
        break;
      case 1:
        level = std::to_string(1 + next(99)) + "." + std::to_string(next(10000));
        break;
      case 2:
        level = "99." + std::string(1 + next(9), '9');
        break;
      default:
        level = std::to_string(next(100)) + ".0" + std::to_string(next(100));
        break;
    }
    const double df = i % 3 == 0 ? std::floor(std::exp(static_cast<double>(next(1400)) / 100)) + 1
                      : i % 10 == 1 ? static_cast<double>(next(300)) + 1.5
                                    : static_cast<double>(1 + next(300));
    const bool normal = i % 8 == 7;
    SCOPED_TRACE(level + (normal ? " normal" : " df " + std::to_string(df)));
    const Fifty tail = (100 - Fifty(level)) / 200;
    const Fifty expected = normal
                               ? boost::math::quantile(boost::math::complement(
                                     boost::math::normal_distribution<Fifty>(), tail))
                               : boost::math::quantile(boost::math::complement(
                                     boost::math::students_t_distribution<Fifty>(Fifty(df)), tail));
    const auto value = normal ? NormalCritical(*ReadExactDecimal(level, '.'))
                              : StudentCritical(*ReadExactDecimal(level, '.'), df);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, static_cast<double>(expected)) << std::setprecision(17) << *value;
  }
}

}  // namespace
}  // namespace kelmory
