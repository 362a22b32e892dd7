// RoundToPlaces: the five steps on doubles, ties to even judged on
// the double product value * 10^places.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/number_text.h"
#include "tests/engine/test_names.h"

namespace kelmory {
namespace {

struct RoundRow {
  const char* name;
  double value;
  int places;
  double rounded;
};

class RoundToPlacesTable : public ::testing::TestWithParam<RoundRow> {};

TEST_P(RoundToPlacesTable, RoundsHalfToEvenOnTheProduct) {
  const RoundRow& row = GetParam();
  const double rounded = RoundToPlaces(row.value, row.places);
  // Exact comparison, bit for bit (the sign of zero included).
  EXPECT_EQ(rounded, row.rounded);
  EXPECT_EQ(std::signbit(rounded), std::signbit(row.rounded));
}

const RoundRow kRoundRows[] = {
    // The Part's examples: products 100000.5, 300001.5 and 12345.5 are exact
    // ties; 2.000005 scales to just below a half, 0.300005 just above.
    {"TieToEvenDown", 1.000005, 5, 1.0},
    {"TieToEvenUp", 3.000015, 5, 3.00002},
    {"TieToEvenUpSmall", 0.123455, 5, 0.12346},
    {"ProductJustBelowHalf", 2.000005, 5, 2.0},
    {"ProductJustAboveHalf", 0.300005, 5, 0.30001},
    {"Ten", 10.0, 5, 10.0},
    // The worked examples' figures.
    {"SdOfSe15N30", 8.215838362577491, 5, 8.21584},
    {"SeOfCi1At99", 0.38819875776397517, 5, 0.3882},
    {"SeOfCi5Z209", 2.3923444976076556, 5, 2.39234},
    {"SdOfCi5Z209", 10.698889844496602, 5, 10.69889},
    {"SdOfCi1At99", 1.7360776222824454, 5, 1.73608},
    // Negative values mirror the positive ones; the whole part moves away
    // from zero.
    {"NegativeTieToEvenDown", -1.000005, 5, -1.0},
    {"NegativeTieToEvenUp", -3.000015, 5, -3.00002},
    {"NegativeTieToEvenUpSmall", -0.123455, 5, -0.12346},
    {"NegativeJustBelowHalf", -2.000005, 5, -2.0},
    {"NegativeJustAboveHalf", -0.300005, 5, -0.30001},
    // Ties at the smallest step: 0.5, 1.5 and 2.5 hundred-thousandths.
    {"HalfStepToZero", 0.000005, 5, 0.0},
    {"OneAndAHalfSteps", 0.000015, 5, 0.00002},
    {"TwoAndAHalfSteps", 0.000025, 5, 0.00002},
    {"TinyToZero", 1e-12, 5, 0.0},
    {"NegativeTinyToNegativeZero", -1e-12, 5, -0.0},
    {"Zero", 0.0, 5, 0.0},
    // Whole products come through step 4 unchanged; step 5 still divides.
    {"WholeProduct", 123456.0, 5, 123456.0},
    {"TwoToThe52", 0x1p52, 5, 0x1p52},
    {"ProductDividedBack", 1e300, 5, 1e300 * 1e5 / 1e5},  // 1.0000000000000002e300
    // A product beyond the double range: the value is already whole.
    {"ProductOverflows", std::numeric_limits<double>::max(), 5, std::numeric_limits<double>::max()},
    // Other places (the system uses 5 only).
    {"ZeroPlacesTieDown", 2.5, 0, 2.0},
    {"ZeroPlacesTieUp", 3.5, 0, 4.0},
    {"ZeroPlacesAboveHalf", 2.6, 0, 3.0},
    {"TwoPlacesTie", 0.125, 2, 0.12},
    {"TwoPlacesTieUp", 0.375, 2, 0.38},
    {"MinusOnePlaceTie", 25.0, -1, 20.0},
    {"MinusOnePlaceUp", 26.0, -1, 30.0},
    {"FarTooManyPlaces", 0.1, 1000, 0.1},
    {"FarTooFewPlaces", 0.1, -1000, 0.0},
    {"IntMinPlaces", 2.5, std::numeric_limits<int>::min(), 0.0},
};

INSTANTIATE_TEST_SUITE_P(Rows, RoundToPlacesTable, ::testing::ValuesIn(kRoundRows),
                         kelmory::testing::RowName{});

}  // namespace
}  // namespace kelmory
