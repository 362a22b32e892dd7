// NumberText: 15 significant digits rounded
// from the exact double, ties to even, trailing zeros dropped, plain notation
// from 0.0001 up to below 10^15 judged after the rounding, exponent notation
// elsewhere, the locale's separator.

#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/engine/test_names.h"

namespace kelmory {
namespace {

struct NumberTextRow {
  const char* name;
  double value;
  const char* text;  // with the point as separator
};

class NumberTextTable : public ::testing::TestWithParam<NumberTextRow> {};

TEST_P(NumberTextTable, WritesTheDisplayText) {
  const NumberTextRow& row = GetParam();
  EXPECT_EQ(NumberText(row.value), row.text);
}

TEST_P(NumberTextTable, AppendsTheSameText) {
  const NumberTextRow& row = GetParam();
  std::string text = "x";
  AppendNumberText(text, row.value);
  EXPECT_EQ(text, std::string("x") + row.text);
}

const NumberTextRow kNumberTextRows[] = {
    // The Part's own examples.
    {"OneThird", 1.0 / 3.0, "0.333333333333333"},
    {"Half", 0.5, "0.5"},
    {"Ten", 10.0, "10"},
    {"TenToThe15", 1e15, "1E+15"},
    {"Fifteen9s", 999999999999999.0, "999999999999999"},
    {"TwoPointFifty", 2.50, "2.5"},
    {"SqrtTwoEndsInZero", 1.4142135623730951, "1.4142135623731"},
    {"SqrtThirty", 5.477225575051661, "5.47722557505166"},
    {"SqrtTwenty", 4.47213595499958, "4.47213595499958"},
    {"OneOver2576", 0.38819875776397517, "0.388198757763975"},
    {"Rounded3882", 0.3882, "0.3882"},
    // Zero and its sign, negatives.
    {"Zero", 0.0, "0"},
    {"NegativeZero", -0.0, "0"},
    {"NegativeTwoAndAHalf", -2.5, "-2.5"},
    {"NegativeThird", -1.0 / 3.0, "-0.333333333333333"},
    {"NegativeTenToThe15", -1e15, "-1E+15"},
    {"NegativeSmall", -0.00001, "-1E-05"},
    // Plain numbers.
    {"One", 1.0, "1"},
    {"Hundred", 100.0, "100"},
    {"TenToThe14", 1e14, "100000000000000"},
    {"Mixed", 123.456, "123.456"},
    {"PointOnePlusPointTwo", 0.1 + 0.2, "0.3"},
    {"NextAfterOne", 1.0000000000000002, "1"},
    // Ties at the 15th significant digit go to the even digit.
    {"TieUpOddPlain", 123456789012345.5, "123456789012346"},
    {"TieDownEvenPlain", 123456789012344.5, "123456789012344"},
    {"TieQuarterDown", 12345678901234.25, "12345678901234.2"},
    {"TieQuarterUp", 12345678901234.75, "12345678901234.8"},
    {"TieDownEvenExponent", 1000000000000005.0, "1E+15"},
    {"TieUpOddExponent", 1000000000000015.0, "1.00000000000002E+15"},
    {"TieDownEvenExponent2", 1000000000000025.0, "1.00000000000002E+15"},
    {"TieSmallEven", 0x1p-22, "2.38418579101562E-07"},  // 2.384185791015625e-07
    // Not a tie: the exact double lies below the 16-digit text's half, so it
    // rounds down, where rounding the shortest text would round up.
    {"ExactValueNotShortestText", 836.4616148129375, "836.461614812937"},
    {"ExactValueNotShortestText2", 287.0118902305975, "287.011890230597"},
    // The 10^15 switch, judged on the rounded magnitude.
    {"JustBelowTenToThe15Stays", 999999999999999.375, "999999999999999"},
    {"JustBelowTenToThe15RoundsUp", 999999999999999.625, "1E+15"},
    {"TieBelowTenToThe15RoundsUp", 999999999999999.5, "1E+15"},
    {"TieBelowTenToThe15Even", 999999999999998.5, "999999999999998"},
    {"TenToThe16", 1e16, "1E+16"},
    {"Large", 1.5e20, "1.5E+20"},
    {"Googol", 1e100, "1E+100"},
    {"Max", std::numeric_limits<double>::max(), "1.79769313486232E+308"},
    // The 0.0001 switch, judged on the rounded magnitude.
    {"TenToTheMinus4", 0.0001, "0.0001"},
    {"JustBelowTenToTheMinus4RoundsUp", std::nextafter(0.0001, 0.0), "0.0001"},
    {"BelowTenToTheMinus4", 0.0000999999999999995, "9.99999999999995E-05"},
    {"PlainSmall", 0.00012345, "0.00012345"},
    {"TenToTheMinus5", 0.00001, "1E-05"},
    {"OnePointFiveTenToTheMinus7", 1.5e-7, "1.5E-07"},
    {"TenToTheMinus100", 1e-100, "1E-100"},
    {"SmallestNormal", std::numeric_limits<double>::min(), "2.2250738585072E-308"},
    {"SmallestSubnormal", std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
};

INSTANTIATE_TEST_SUITE_P(Rows, NumberTextTable, ::testing::ValuesIn(kNumberTextRows),
                         kelmory::testing::RowName{});

struct LocaleRow {
  const char* name;
  const char* separator;
  double value;
  const char* text;
};

class NumberTextLocale : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(NumberTextLocale, UsesTheLocaleSeparator) {
  const LocaleRow& row = GetParam();
  EXPECT_EQ(NumberText(row.value, NumberLocale{row.separator}), row.text);
}

const LocaleRow kLocaleRows[] = {
    {"CommaFraction", ",", 2.5, "2,5"},
    {"CommaWholeHasNoSeparator", ",", 10.0, "10"},
    {"CommaNoGrouping", ",", 1234567.25, "1234567,25"},
    {"CommaBelowOne", ",", 0.3882, "0,3882"},
    {"CommaMantissa", ",", 1.5e-7, "1,5E-07"},
    {"CommaLarge", ",", 1.5e20, "1,5E+20"},
    {"CommaZero", ",", 0.0, "0"},
    {"ArabicFraction", kelmory::testing::kArabicSeparator, 2.5,
     "2\xD9\xAB"
     "5"},
    {"ArabicBelowOne", kelmory::testing::kArabicSeparator, 0.388198757763975,
     "0\xD9\xAB"
     "388198757763975"},
    {"ArabicMantissa", kelmory::testing::kArabicSeparator, 4.94065645841247e-324,
     "4\xD9\xAB"
     "94065645841247E-324"},
    {"ArabicWhole", kelmory::testing::kArabicSeparator, 20.0, "20"},
    {"EmptySeparatorFallsBackToPoint", "", 2.5, "2.5"},
};

INSTANTIATE_TEST_SUITE_P(Rows, NumberTextLocale, ::testing::ValuesIn(kLocaleRows),
                         kelmory::testing::RowName{});

}  // namespace
}  // namespace kelmory
