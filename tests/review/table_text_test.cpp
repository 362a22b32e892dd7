// Decimal separators, cell by cell (clipboard blocks go through the window
// in review_window_test).

#include <gtest/gtest.h>

#include "review/table_text.h"

namespace kelmory::review {
namespace {

TEST(Decimal, OnlyNumbersChangeTheirSeparator) {
  const struct {
    std::string cell;
    char from, to;
    bool percent;
    std::string moved;
  } cases[] = {
      // clang-format off
      {"1.5", '.', ',', false, "1,5"}, {"-2.5e-3", '.', ',', false, "-2,5e-3"},
      {"97.5 %", '.', ',', true, "97,5 %"}, {"97.5%", '.', ',', false, "97.5%"},
      {"1,2,3", ',', '.', false, "1,2,3"}, {"1.5", ',', '.', false, "1.5"},
      {"n/a", '.', ',', false, "n/a"}, {"1e999.", '.', ',', false, "1e999."}, {"", '.', ',', false, ""},
      // clang-format on
  };
  for (const auto& c : cases)
    EXPECT_EQ(MoveDecimal(c.cell, c.from, c.to, c.percent), c.moved) << c.cell;
}

TEST(Decimal, TypedCellsTakeTheUsersSeparatorAndAPointInACommaLocale) {
  const struct {
    std::string typed;
    char user, stored;
    std::string cell;
  } cases[] = {
      {"1,5", ',', '.', "1.5"},         {"1.5", ',', '.', "1.5"}, {"1.5", ',', ',', "1,5"},
      {"1,5", ',', ',', "1,5"},         {"1.5", '.', ',', "1,5"}, {"1,5", '.', '.', "1,5"},
      {"1.000,5", ',', '.', "1.000,5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FromUser(c.typed, c.user, c.stored, false), c.cell)
        << c.typed << " user " << c.user << " stored " << c.stored;
}

}  // namespace
}  // namespace kelmory::review
