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

// Rows as the sheet numbered them: empty rows count, line breaks inside a
// quoted cell do not.
TEST(TabBlock, WhatAFileCouldNotHoldIsPlacedByRowAndColumn) {
  using Kind = BlockError::Kind;
  const std::string mib(std::size_t{1} << 20, 'x');
  const struct {
    std::string block;
    Kind kind;
    std::size_t row, column;
  } cases[] = {
      {"a\tb\n\"x\ny\"\t\"open\n", Kind::OpenQuote, 2, 2},
      {"a\n\n\"x\ny\"\tb\n\tc\t\"" + mib + "x\"\nd\n", Kind::OpenQuote, 4, 3},
      {"a\n\nb\t" + mib + "x\n", Kind::LongCell, 3, 2},
      {"a\t" + mib + "\t" + mib + "\n", Kind::LongRow, 1, 3},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseTabBlock(c.block);
    const auto* error = std::get_if<BlockError>(&parsed);
    ASSERT_NE(error, nullptr) << c.block.substr(0, 20);
    EXPECT_EQ(error->kind, c.kind) << c.block.substr(0, 20);
    EXPECT_EQ(error->row, c.row) << c.block.substr(0, 20);
    EXPECT_EQ(error->column, c.column) << c.block.substr(0, 20);
  }
  // The longest cell, quoted, is a cell like any other.
  const auto parsed = ParseTabBlock("a\t\"" + mib + "\"\n");
  ASSERT_TRUE(std::holds_alternative<std::vector<Record>>(parsed));
  EXPECT_EQ(std::get<std::vector<Record>>(parsed), (std::vector<Record>{{"a", mib}}));
}

}  // namespace
}  // namespace kelmory::review
