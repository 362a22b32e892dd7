// Clipboard blocks and decimal separators, cell by cell.

#include <gtest/gtest.h>

#include "review/table_text.h"

namespace kelmory::review {
namespace {

using Cells = std::vector<Record>;

TEST(TabBlock, ReadsWhatSpreadsheetsPutOnTheClipboard) {
  const struct {
    std::string text;
    Cells cells;
  } cases[] = {
      {"a\tb\nc\td\n", {{"a", "b"}, {"c", "d"}}},
      {"a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
      {"a\tb\rc", {{"a", "b"}, {"c"}}},
      {"a\t\t\n", {{"a", "", ""}}},
      {"\"x\ty\"\t\"line\none\"\n", {{"x\ty", "line\none"}}},
      {"\"say \"\"hi\"\"\"\tq\"uote\n", {{"say \"hi\"", "q\"uote"}}},
      {" 1,5 \t\n\nb\n", {{" 1,5 ", ""}, {"b"}}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTabBlock(c.text), c.cells) << c.text;
}

TEST(TabBlock, WritesCellsThatReadBackWhole) {
  std::string block;
  const Record cells = {"plain", "tab\there", "two\nlines", "\"quoted\"", ""};
  AppendTabLine(block, cells);
  EXPECT_EQ(block, "plain\t\"tab\there\"\t\"two\nlines\"\t\"\"\"quoted\"\"\"\t\n");
  EXPECT_EQ(ParseTabBlock(block), Cells({cells}));
}

TEST(Decimal, OnlyNumbersChangeTheirSeparator) {
  const struct {
    std::string cell;
    char from, to;
    bool percent;
    std::string moved;
  } cases[] = {
      {"1.5", '.', ',', false, "1,5"},
      {"-2.5e-3", '.', ',', false, "-2,5e-3"},
      {"97.5 %", '.', ',', true, "97,5 %"},
      {"97.5%", '.', ',', false, "97.5%"},
      {"1,2,3", ',', '.', false, "1,2,3"},
      {"1.5", ',', '.', false, "1.5"},
      {"n/a", '.', ',', false, "n/a"},
      {"1e999.", '.', ',', false, "1e999."},
      {"", '.', ',', false, ""},
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
