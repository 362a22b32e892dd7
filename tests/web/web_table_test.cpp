// The page's table: a golden file opened and saved gives kelmory-batch's
// bytes, a pasted block reads as the review window reads it, every change
// is undone and redone, copy gives the cells with their header, and a
// broken file leaves the table as it was.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "table/batch_run.h"
#include "web/web_table.h"

namespace kelmory::web {
namespace {

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(KELMORY_GOLDEN_DIR) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Saved(const WebTable& table) {
  std::string bytes;
  const Outcome outcome = table.Save(bytes);
  EXPECT_TRUE(outcome.ok) << outcome.message;
  return bytes;
}

// What kelmory-batch --working writes for the file with `method`.
std::string BatchWorking(const std::string& bytes, batch::Method method) {
  batch::BatchOptions options;
  options.method = method;
  options.working = true;
  std::string out;
  std::string_view rest = bytes;
  batch::RunBatch(
      [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t count = std::min(size, rest.size());
        rest.copy(buffer, count);
        rest.remove_prefix(count);
        return static_cast<std::ptrdiff_t>(count);
      },
      [&](std::string_view piece) {
        out.append(piece);
        return true;
      },
      options);
  return out;
}

std::string Row(const WebTable& table, int row) {
  std::string text;
  for (int c = 0; c < table.columns(); ++c) text += (c ? "|" : "") + table.Cell(row, c);
  return text;
}

TEST(WebTableTest, GoldenFilesOpenAndSaveAsTheBatchWritesThem) {
  // Written by kelmory-batch --working.
  for (const std::string name : {"review", "medians", "subgroups"}) {
    SCOPED_TRACE(name);
    WebTable table('.');
    const Outcome opened = table.Open(Golden(name + ".csv"));
    ASSERT_TRUE(opened.ok) << opened.message;
    EXPECT_EQ(Saved(table), Golden(name + ".expected.csv"));
  }
  // Every dialect: delimiters, decimal commas, UTF-16, sep= lines, a saved
  // table with its earlier results, both methods.
  for (const std::string name :
       {"review", "review-semicolon", "review-utf16", "review-sep", "medians", "two-groups",
        "subgroups", "all-kinds", "extraction", "german-calc", "review.expected"}) {
    for (const batch::Method method : {batch::Method::T, batch::Method::Z}) {
      SCOPED_TRACE(name + (method == batch::Method::Z ? " z" : " t"));
      for (const char user : {'.', ','}) {
        WebTable table(user);
        table.SetSettings(method, 95);
        ASSERT_TRUE(table.Open(Golden(name + ".csv")).ok);
        EXPECT_EQ(Saved(table), BatchWorking(Golden(name + ".csv"), method));
      }
    }
  }
}

TEST(WebTableTest, APastedBlockShowsEachStudysResultBesideIt) {
  WebTable table('.');
  ASSERT_TRUE(table
                  .Paste("Study\tN\tLower\tUpper\tMean\tLevel\n"
                         "Cole 2012\t10\t1\t5\t3\t\n"
                         "Dunn 2015\t10\t1\t5\t1.5\t90%\n"
                         "Ford 2017\t1\t\t\t\t\n",
                         0, 0)
                  .ok);
  ASSERT_EQ(table.rows(), 3);
  std::string headings;
  for (int c = 0; c < table.columns(); ++c) headings += (c ? "|" : "") + table.Heading(c);
  EXPECT_EQ(headings,
            "Study|N|Lower|Upper|Mean|Level|sd|method|critical_value|df|sd_z|sd_t|"
            "z_t_gap_percent|warning|refusal");
  EXPECT_EQ(Row(table, 0),
            "Cole 2012|10|1|5|3||2.795807216379925|t|2.2621571627982053|9|3.2268732335002297|"
            "2.795807216379925|15.418302613813939||");
  EXPECT_EQ(table.MarkOf(0), Mark::None);
  EXPECT_EQ(table.MarkOf(1), Mark::Warning);
  EXPECT_EQ(table.MessageOf(1),
            "asymmetric interval: its halves differ by 75.0% of its width; it may have been "
            "computed on a log scale");
  EXPECT_EQ(table.MarkOf(2), Mark::Refusal);
  const Tally tally = table.tally();
  EXPECT_EQ(tally.rows, 3U);
  EXPECT_EQ(tally.warnings, 1U);
  EXPECT_EQ(tally.refused, 1U);
}

TEST(WebTableTest, ADecimalCommaUserTypesAndReadsCommas) {
  WebTable table(',');
  ASSERT_TRUE(table.Paste("Study\tN\tSE\nAbel 2004\t25\t1,25\n", 0, 0).ok);
  EXPECT_EQ(Row(table, 0), "Abel 2004|25|1,25|6,25|se|||||||");
  // A new table of a decimal-comma user is written with ";" between cells.
  EXPECT_EQ(Saved(table).substr(0, 56), "Study;N;SE;sd;method;critical_value;df;sd_z;sd_t;z_t_gap");
  table.SetCell(0, 2, "0.5");  // a point is taken too
  EXPECT_EQ(table.Cell(0, 2), "0,5");
  EXPECT_EQ(table.Cell(0, 3), "2,5");
}

TEST(WebTableTest, EveryChangeIsUndoneAndRedone) {
  WebTable table('.');
  ASSERT_TRUE(table.Paste("study\tn\tse\nA\t25\t2\nB\t4\t1\n", 0, 0).ok);
  table.SetCell(0, 2, "3");
  EXPECT_EQ(table.Cell(0, 3), "15");
  table.SetCell(2, 0, "C");  // typing in the row after the last adds a study
  EXPECT_EQ(table.rows(), 3);
  table.ClearCells(1, 1, 1, 2);
  EXPECT_EQ(Row(table, 1).substr(0, 4), "B|||");
  table.InsertRow(0);
  table.DeleteRows(1, 2);
  EXPECT_EQ(table.rows(), 2);
  EXPECT_EQ(table.Cell(1, 0), "C");

  const std::string steps[] = {"delete", "insert", "clear", "add C", "se 3", "paste"};
  for (const std::string& step : steps) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(table.Undo());
  }
  EXPECT_FALSE(table.Undo());
  EXPECT_EQ(table.rows(), 0);
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(table.Redo());
  EXPECT_FALSE(table.Redo());
  EXPECT_EQ(table.rows(), 2);
  EXPECT_EQ(Row(table, 0).substr(0, 3), "|||");
  EXPECT_EQ(table.Cell(1, 0), "C");
  ASSERT_TRUE(table.Undo());
  ASSERT_TRUE(table.Undo());
  EXPECT_EQ(Row(table, 0).substr(0, 9), "A|25|3|15");
  EXPECT_EQ(Row(table, 1).substr(0, 4), "B|||");
}

TEST(WebTableTest, RowsChosenAnywhereGoOrClearInOneStep) {
  WebTable table('.');
  ASSERT_TRUE(table.Paste("study\tn\tse\nA\t4\t1\nB\t9\t1\nC\t16\t1\nD\t25\t1\n", 0, 0).ok);
  table.DeleteRows({2, 0, 2});
  ASSERT_EQ(table.rows(), 2);
  EXPECT_EQ(table.Cell(0, 0) + table.Cell(1, 0), "BD");
  table.ClearRows({1, 0});
  // Emptied rows stay, with nothing to show.
  EXPECT_EQ(table.tally().rows, 2U);
  EXPECT_EQ(Row(table, 0), std::string(11, '|'));
  EXPECT_EQ(Row(table, 1), std::string(11, '|'));
  ASSERT_TRUE(table.Undo());
  EXPECT_EQ(table.Cell(1, 3), "5");
  ASSERT_TRUE(table.Undo());
  EXPECT_EQ(table.Cell(0, 0) + table.Cell(1, 0) + table.Cell(2, 0) + table.Cell(3, 0), "ABCD");
  EXPECT_EQ(table.Cell(2, 3), "4");
}

TEST(WebTableTest, CopyGivesTheCellsWithTheirHeader) {
  WebTable table('.');
  ASSERT_TRUE(table.Paste("study\tn\tse\n\"Baker, J.\t2010\"\t25\t2\n", 0, 0).ok);
  EXPECT_EQ(table.CopyBlock(0, 0, 0, 4, true),
            "study\tn\tse\tsd\tmethod\n\"Baker, J.\t2010\"\t25\t2\t10\tse\n");
}

TEST(WebTableTest, ABlockWithoutHeaderGoesFromTheCurrentCellOn) {
  WebTable table('.');
  ASSERT_TRUE(table.Paste("study\tn\tse\nA\t25\t2\n", 0, 0).ok);
  ASSERT_TRUE(table.Paste("100\t1\n16\t3\n", 0, 1).ok);
  EXPECT_EQ(table.rows(), 2);
  EXPECT_EQ(table.Cell(0, 3), "10");
  EXPECT_EQ(table.Cell(1, 3), "12");
  const Outcome open = table.Paste("\"never closed\t1\n", 0, 0);
  EXPECT_FALSE(open.ok);
  EXPECT_EQ(open.message, "The quote opening the pasted cell at row 1, column 1 is never closed");
}

TEST(WebTableTest, ABrokenFileLeavesTheTableAsItWas) {
  WebTable table('.');
  ASSERT_TRUE(table.Paste("study\tn\tse\nA\t25\t2\n", 0, 0).ok);
  const Outcome outcome = table.Open("n,se\n4,\"1\n");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message,
            "line 2: broken CSV: a quoted cell is not closed before the end of the input");
  EXPECT_EQ(Row(table, 0).substr(0, 9), "A|25|2|10");
  EXPECT_TRUE(table.CanUndo());
}

}  // namespace
}  // namespace kelmory::web
