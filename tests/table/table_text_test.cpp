// Decimal separators, cell by cell (clipboard blocks go through the window
// in review_window_test).

#include <gtest/gtest.h>

#include "table/table_text.h"

namespace kelmory::table {
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
  ASSERT_TRUE(std::holds_alternative<std::vector<PackedCells>>(parsed));
  const auto& rows = std::get<std::vector<PackedCells>>(parsed);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].ToStrings(), (Record{"a", mib}));
}

// A row's cells as one block: every shape a table holds reads back as it
// went in, across the switch to four-byte ends at 64 KiB of text.
TEST(PackedCellsTest, RowsReadBackAsTheyWentIn) {
  const std::string long_cell(0xffff, 'x');
  const std::vector<Record> rows = {
      {},
      {""},
      {"", "", ""},
      {"Abel", "25", "", "1,5", "\"quoted\"\ttab"},
      {long_cell},
      {long_cell, "y"},
      {"", long_cell + "z", ""},
  };
  for (const Record& row : rows) {
    const PackedCells packed(row);
    EXPECT_EQ(packed.ToStrings(), row);
    EXPECT_EQ(packed.size(), row.size());
    const PackedCells copy = packed;
    EXPECT_EQ(copy.ToStrings(), row);
  }
}

TEST(PackedCellsTest, EditsChangeOnlyTheirCell) {
  PackedCells row(Record{"Abel", "25", "2"});
  row.Set(1, "30");
  EXPECT_EQ(row.ToStrings(), (Record{"Abel", "30", "2"}));
  row.Set(4, "x");  // past the end: the row grows
  EXPECT_EQ(row.ToStrings(), (Record{"Abel", "30", "2", "", "x"}));
  row.Set(3, row[0]);  // a view into the row itself
  EXPECT_EQ(row.ToStrings(), (Record{"Abel", "30", "2", "Abel", "x"}));
  row.Set(0, std::string(0x10000, 'w'));  // now past 64 KiB
  EXPECT_EQ(row[0].size(), 0x10000u);
  EXPECT_EQ(row[3], "Abel");
  row.Resize(2);
  EXPECT_EQ(row.ToStrings(), (Record{std::string(0x10000, 'w'), "30"}));
  row.Resize(3);
  EXPECT_EQ(row.ToStrings(), (Record{std::string(0x10000, 'w'), "30", ""}));
  row.Resize(0);
  EXPECT_TRUE(row.empty());
}

}  // namespace
}  // namespace kelmory::table
