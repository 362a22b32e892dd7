// The table of studies: a golden file opened and saved gives kelmory-batch's
// bytes, a pasted block shows each row's results, every step is taken back
// and made again by swapping, copy gives the cells with their header, and a
// broken file leaves the table as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>

#include "table/batch_run.h"
#include "table/study_table.h"

namespace kelmory::table {
namespace {

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(KELMORY_GOLDEN_DIR) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Saved(const StudyTable& table) {
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

std::string Row(const StudyTable& table, int row, Digits digits = Digits::Shortest) {
  std::string text;
  for (int c = 0; c < table.columns(); ++c) text += (c ? "|" : "") + table.Cell(row, c, digits);
  return text;
}

// The edits applied to a table, each step kept to be taken back.
class Edits : public StepStack {
 public:
  explicit Edits(StudyTable& table) : StepStack(table), table_(table) {}
  void Do(std::optional<Step> step) {
    ASSERT_TRUE(step.has_value());
    Push(std::move(step));
  }
  void Paste(std::string_view text, int top = 0, int left = 0) {
    auto parsed = ParseTabBlock(text);
    ASSERT_TRUE(std::holds_alternative<std::vector<PackedCells>>(parsed));
    Do(table_.PasteStep(std::get<std::vector<PackedCells>>(std::move(parsed)), top, left));
  }

 private:
  StudyTable& table_;
};

TEST(StudyTableTest, GoldenFilesOpenAndSaveAsTheBatchWritesThem) {
  // Written by kelmory-batch --working.
  for (const std::string name : {"review", "medians", "subgroups"}) {
    SCOPED_TRACE(name);
    StudyTable table('.');
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
        StudyTable table(user);
        table.SetSettings(method, 95);
        ASSERT_TRUE(table.Open(Golden(name + ".csv")).ok);
        EXPECT_EQ(Saved(table), BatchWorking(Golden(name + ".csv"), method));
      }
    }
  }
}

TEST(StudyTableTest, APastedBlockShowsEachStudysResultBesideIt) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste(
      "Study\tN\tLower\tUpper\tMean\tLevel\n"
      "Cole 2012\t10\t1\t5\t3\t\n"
      "Dunn 2015\t10\t1\t5\t1.5\t90%\n"
      "Ford 2017\t1\t\t\t\t\n");
  ASSERT_EQ(table.storedRows(), 3);
  std::string headings;
  for (int c = 0; c < table.columns(); ++c) headings += (c ? "|" : "") + table.Heading(c);
  EXPECT_EQ(headings,
            "Study|N|Lower|Upper|Mean|Level|sd|method|critical_value|df|sd_z|sd_t|"
            "z_t_gap_percent|warning|refusal");
  EXPECT_EQ(Row(table, 0),
            "Cole 2012|10|1|5|3||2.795807216379925|t|2.2621571627982053|9|3.2268732335002297|"
            "2.795807216379925|15.418302613813939||");
  // As a spreadsheet holds them: 15 significant digits.
  EXPECT_EQ(table.Cell(0, 8, Digits::Spreadsheet), "2.26215716279821");
  EXPECT_EQ(table.Cell(0, 10, Digits::Spreadsheet), "3.22687323350023");
  EXPECT_EQ(table.rows()[0].mark, RowMark::None);
  EXPECT_EQ(table.rows()[1].mark, RowMark::Warning);
  EXPECT_EQ(table.ResultOf(1).result.warning,
            "asymmetric interval: its halves differ by 75.0% of its width; it may have been "
            "computed on a log scale");
  EXPECT_EQ(table.rows()[2].mark, RowMark::Refused);
  const Tally tally = table.tally();
  EXPECT_EQ(tally.rows, 3U);
  EXPECT_EQ(tally.warnings, 1U);
  EXPECT_EQ(tally.refused, 1U);
}

TEST(StudyTableTest, ADecimalCommaUserTypesAndReadsCommas) {
  StudyTable table(',');
  Edits edits(table);
  edits.Paste("Study\tN\tSE\nAbel 2004\t25\t1,25\n");
  EXPECT_EQ(Row(table, 0), "Abel 2004|25|1,25|6,25|se|||||||");
  // A new table of a decimal-comma user is written with ";" between cells.
  std::string saved = Saved(table);
  EXPECT_EQ(saved.substr(0, 56), "Study;N;SE;sd;method;critical_value;df;sd_z;sd_t;z_t_gap");
  edits.Do(table.EditStep(0, 2, "0.5"));  // a point is taken too
  EXPECT_EQ(table.Cell(0, 2, Digits::Shortest), "0,5");
  EXPECT_EQ(table.Cell(0, 3, Digits::Shortest), "2,5");
  // The same text again is no step.
  EXPECT_FALSE(table.EditStep(0, 2, "0,5").has_value());
}

TEST(StudyTableTest, EveryStepIsTakenBackAndMadeAgain) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste("study\tn\tse\nA\t25\t2\nB\t4\t1\n");
  edits.Do(table.EditStep(0, 2, "3"));
  EXPECT_EQ(table.Cell(0, 3, Digits::Shortest), "15");
  edits.Do(table.EditStep(2, 0, "C"));  // typing in the row after the last adds a study
  EXPECT_EQ(table.storedRows(), 3);
  const InputCell cleared[] = {{1, 1}, {1, 2}};
  edits.Do(table.ClearCellsStep(cleared));
  EXPECT_EQ(Row(table, 1).substr(0, 4), "B|||");
  edits.Do(table.InsertRowStep(0));
  edits.Do(table.DeleteRowsStep({1, 2}));
  EXPECT_EQ(table.storedRows(), 2);
  EXPECT_EQ(table.Cell(1, 0, Digits::Shortest), "C");

  const std::string steps[] = {"delete", "insert", "clear", "add C", "se 3", "paste"};
  for (const std::string& step : steps) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(edits.Undo());
  }
  EXPECT_FALSE(edits.Undo());
  EXPECT_EQ(table.storedRows(), 0);
  EXPECT_EQ(table.header(), StudyTable::NewHeader());
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(edits.Redo());
  EXPECT_FALSE(edits.Redo());
  EXPECT_EQ(table.storedRows(), 2);
  EXPECT_EQ(Row(table, 0).substr(0, 3), "|||");
  EXPECT_EQ(table.Cell(1, 0, Digits::Shortest), "C");
  ASSERT_TRUE(edits.Undo());
  ASSERT_TRUE(edits.Undo());
  EXPECT_EQ(Row(table, 0).substr(0, 9), "A|25|3|15");
  EXPECT_EQ(Row(table, 1).substr(0, 4), "B|||");
  EXPECT_EQ(table.tally().rows, 3U);
}

TEST(StudyTableTest, RowsChosenAnywhereGoOrClearInOneStep) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste("study\tn\tse\nA\t4\t1\nB\t9\t1\nC\t16\t1\nD\t25\t1\n");
  edits.Do(table.DeleteRowsStep({2, 0, 2}));
  ASSERT_EQ(table.storedRows(), 2);
  EXPECT_EQ(table.Cell(0, 0, Digits::Shortest) + table.Cell(1, 0, Digits::Shortest), "BD");
  edits.Do(table.ClearRowsStep({1, 0}));
  // Emptied rows stay, with nothing to show.
  EXPECT_EQ(table.tally().rows, 2U);
  EXPECT_EQ(Row(table, 0), std::string(11, '|'));
  EXPECT_EQ(Row(table, 1), std::string(11, '|'));
  EXPECT_FALSE(table.ClearRowsStep({0, 1}).has_value());
  ASSERT_TRUE(edits.Undo());
  EXPECT_EQ(table.Cell(1, 3, Digits::Shortest), "5");
  ASSERT_TRUE(edits.Undo());
  std::string studies;
  for (int r = 0; r < 4; ++r) studies += table.Cell(r, 0, Digits::Shortest);
  EXPECT_EQ(studies, "ABCD");
  EXPECT_EQ(table.Cell(2, 3, Digits::Shortest), "4");
}

TEST(StudyTableTest, CopyGivesTheCellsWithTheirHeader) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste("study\tn\tse\n\"Baker, J.\t2010\"\t25\t2\n");
  EXPECT_EQ(table.CopyBlock(0, 0, 0, 4, true, Digits::Shortest),
            "study\tn\tse\tsd\tmethod\n\"Baker, J.\t2010\"\t25\t2\t10\tse\n");
}

TEST(StudyTableTest, ABlockWithoutHeaderGoesFromTheCurrentCellOn) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste("study\tn\tse\nA\t25\t2\n");
  edits.Paste("100\t1\n16\t3\n", 0, 1);
  EXPECT_EQ(table.storedRows(), 2);
  EXPECT_EQ(table.Cell(0, 3, Digits::Shortest), "10");
  EXPECT_EQ(table.Cell(1, 3, Digits::Shortest), "12");
}

TEST(StudyTableTest, AStoppedPasteLeavesNoStep) {
  StudyTable table('.');
  auto parsed = ParseTabBlock("study\tn\tse\nA\t25\t2\n");
  const auto stop = [](std::size_t, std::size_t) { return false; };
  EXPECT_FALSE(table.PasteStep(std::get<std::vector<PackedCells>>(std::move(parsed)), 0, 0, stop));
  EXPECT_EQ(table.storedRows(), 0);
  EXPECT_EQ(table.header(), StudyTable::NewHeader());
}

// Each arm's results follow its own last column.
TEST(StudyTableTest, ArmsShowTheirResultsBesideTheirColumns) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste("study\tn.e\tse.e\tsd.e\tn.c\tsd.c\tmd\tt\nAbel 2004\t25\t2\t\t25\t3.9\t\t\n");
  std::string headings, arms;
  for (int c = 0; c < table.columns(); ++c) {
    headings += (c ? "|" : "") + table.Heading(c);
    arms += std::to_string(table.ArmOf(c) + 1);
  }
  EXPECT_EQ(headings,
            "study|n.e|se.e|sd.e|method.e|critical_value.e|df.e|sd_z.e|sd_t.e|"
            "z_t_gap_percent.e|warning.e|refusal.e|n.c|sd.c|method.c|critical_value.c|df.c|"
            "sd_z.c|sd_t.c|z_t_gap_percent.c|warning.c|refusal.c|md|t");
  EXPECT_EQ(arms, "0" + std::string(11, '1') + std::string(10, '2') + "00");
  EXPECT_EQ(Row(table, 0),
            "Abel 2004|25|2|10|se|||||||"
            "|25|3.9|reported|||||||"
            "||");
  EXPECT_TRUE(table.IsFilledIn(0, 3));
  EXPECT_EQ(table.SavedCell(0, 3), "10");
}

TEST(StudyTableTest, ABrokenFileLeavesTheTableAsItWas) {
  StudyTable table('.');
  Edits edits(table);
  edits.Paste("study\tn\tse\nA\t25\t2\n");
  const Outcome outcome = table.Open("n,se\n4,\"1\n");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message,
            "line 2: broken CSV: a quoted cell is not closed before the end of the input");
  EXPECT_EQ(Row(table, 0).substr(0, 9), "A|25|2|10");
}

}  // namespace
}  // namespace kelmory::table
