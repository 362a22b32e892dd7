// The reader as both programs share it: the decimal separator found from
// the first rows, files that are not UTF-8, and messages in the words of
// the program that shows them.

#include <gtest/gtest.h>

#include <string>

#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "tests/batch/listed_cells.h"

namespace kelmory::batch {
namespace {

struct ReadResult {
  BatchSummary summary;
  std::string output;
};

// The input handed out `step` bytes at a time.
ReadResult Read(const std::string& input, const BatchOptions& options = {},
                std::size_t step = 1 << 16) {
  ReadResult run;
  std::size_t at = 0;
  run.summary = RunBatch(
      [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min({size, step, input.size() - at});
        std::copy_n(input.data() + at, n, buffer);
        at += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      [&](std::string_view bytes) {
        run.output.append(bytes);
        return true;
      },
      options);
  return run;
}

const std::string kAdded = "sd,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal";

TEST(Reader, FindsTheDecimalSeparatorWhereTheCellsReadOneWay) {
  BatchOptions point;
  point.decimal = '.';
  // Far enough down that the first rows do not see it.
  std::string late = "n,se\n";
  while (late.size() < 300000) late += "25,2\n";
  late += "25,\"1,5\"\n";
  struct Row {
    std::string name, input;
    BatchOptions options;
    char decimal;
    bool found;  // from the cells, not the default
    std::string last_line;
  };
  // clang-format off
  const Row rows[] = {
      {"German Calc's default: commas and quoted decimal commas", "n,se\n25,\"1,25\"\n", {}, ',', true,
       "25,\"1,25\",\"6,25\",se,,,,,,,"},
      {"semicolons and decimal points", "n;se\n25;1.25\n", {}, '.', true, "25;1.25;6.25;se;;;;;;;"},
      {"whole numbers read both ways: a comma table keeps '.'", "n,se\n25,2\n", {}, '.', false,
       "25,2,10,se,,,,,,,"},
      {"whole numbers read both ways: a semicolon table keeps ','", "n;se\n25;0\n", {}, ',', false,
       "25;0;0;se;;;;;;;"},
      {"both ways in one table keeps the default", "n,se\n25,1.5\n25,\"1,5\"\n", {}, '.', false,
       "25,\"1,5\",,,,,,,,,\"se is not a number: '1,5' (a decimal comma? write it 1.5)\""},
      {"a grouped 2.000 is no evidence for a point", "study,n,se\nA,\"2.000\",\"1,5\"\n", {}, ',', true,
       "A,2.000,\"1,5\",,,,,,,,,\"n is not a number: '2.000' (ambiguous: '.' groups digits "
       "or marks decimals; write 2000 without grouping, or 2,000 for a decimal)\""},
      {"text columns are not read", "study,n,se\n\"1,5\",25,2.5\n", {}, '.', true,
       "\"1,5\",25,2.5,12.5,se,,,,,,,"},
      {"--decimal forces one", "n,se\n25,\"1,25\"\n", point, '.', false,
       "25,\"1,25\",,,,,,,,,\"se is not a number: '1,25' (a decimal comma? write it 1.25)\""},
      {"only the first rows are looked at", late, {}, '.', false,
       "25,\"1,5\",,,,,,,,,\"se is not a number: '1,5' (a decimal comma? write it 1.5)\""},
  };
  // clang-format on
  for (const Row& row : rows) {
    for (const std::size_t step : {std::size_t{1} << 16, std::size_t{7}}) {
      SCOPED_TRACE(row.name + " in steps of " + std::to_string(step));
      const ReadResult run = Read(row.input, row.options, step);
      EXPECT_EQ(run.summary.message, "");
      EXPECT_EQ(run.summary.dialect.decimal, row.decimal);
      EXPECT_EQ(run.summary.dialect.decimal_found, row.found);
      ASSERT_GE(run.output.size(), row.last_line.size() + 1);
      EXPECT_EQ(run.output.substr(run.output.rfind('\n', run.output.size() - 2) + 1),
                row.last_line + "\n");
    }
  }
}

TEST(Reader, AFileThatIsNotUtf8IsReadAsWindows1252AndSaysSo) {
  struct Row {
    std::string name, input;
    int status;
    std::string_view encoding;
    std::string output_or_message;
  };
  const Row rows[] = {
      {"Latin-1 letters and a Windows-1252 dash", "st,n,se\nM\xfcller \x96 A,4,1\n", 0,
       "Windows-1252", "st,n,se," + kAdded + "\nM\xc3\xbcller \xe2\x80\x93 A,4,1,2,se,,,,,,,\n"},
      {"late after ASCII rows", "st,n,se\nA,4,1\n\xc4,4,1\n", 0, "Windows-1252",
       "st,n,se," + kAdded + "\nA,4,1,2,se,,,,,,,\n\xc3\x84,4,1,2,se,,,,,,,\n"},
      {"UTF-8, its characters split anywhere", "st,n,se\n\xc3\x84\xe2\x80\x93,4,1\n", 0, "UTF-8",
       "st,n,se," + kAdded + "\n\xc3\x84\xe2\x80\x93,4,1,2,se,,,,,,,\n"},
      {"UTF-8 and then Latin-1", "st,n,se\n\xc3\x84,4,1\n\xc4,4,1\n", 2, "UTF-8",
       "the input is not valid UTF-8: it mixes UTF-8 with another encoding"},
      {"a byte that Windows-1252 leaves undefined", "st,n,se\n\x81,4,1\n", 2, "Windows-1252",
       "the input is neither UTF-8 nor Windows-1252"},
      {"a UTF-8 character cut off at the end", "st,n,se\nA,4,1\n\xc3", 1, "Windows-1252",
       "st,n,se," + kAdded + "\nA,4,1,2,se,,,,,,,\n\xc3\x83,,,,,,,,,,,n is empty\n"},
      {"NUL bytes", std::string("n,se\n4,\0\n", 9), 2, "UTF-8",
       "the input is not a text file: it holds NUL bytes"},
  };
  for (const Row& row : rows) {
    for (const std::size_t step : {std::size_t{1} << 16, std::size_t{1}}) {
      SCOPED_TRACE(row.name + " in steps of " + std::to_string(step));
      const ReadResult run = Read(row.input, {}, step);
      EXPECT_EQ(run.summary.status, row.status);
      EXPECT_EQ(row.status == 2 ? run.summary.message : run.output, row.output_or_message);
      if (row.status != 2) EXPECT_EQ(run.summary.encoding, row.encoding);
    }
  }
}

// The window has no command-line options to name.
TEST(RowRules, MessagesNameTheControlsOfWhoReadsThem) {
  CriticalValueCache cache;
  const Cells cells("n=10|ci=1");
  RowSettings settings;
  settings.default_level = 100;
  EXPECT_EQ(ConvertRow(cells.cells, settings, cache).refusal,
            "--level gives no usable critical value");
  settings.audience = Audience::Window;
  EXPECT_EQ(ConvertRow(cells.cells, settings, cache).refusal,
            "the level box gives no usable critical value");
}

}  // namespace
}  // namespace kelmory::batch
