// The reader as both programs share it: an earlier result block made again
// and never carried twice, the user's sd, mean and result-named columns
// kept, the decimal separator found from the first rows, files that are not
// UTF-8, and messages in the words of the program that shows them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

ReadResult Read(const std::string& input, const BatchOptions& options = {},
                std::size_t step = 1 << 16) {
  ReadResult run;
  run.summary = RunOver(input, options, run.output, step);
  return run;
}

std::string Convert(const std::string& input, const BatchOptions& options = {}) {
  const ReadResult run = Read(input, options);
  EXPECT_NE(run.summary.status, 2) << run.summary.message;
  return run.output;
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
      {"whole numbers read both ways: a semicolon table keeps ','", "n;se\n25;2\n", {}, ',', false,
       "25;2;10;se;;;;;;;"},
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

// kelmory-batch on its own output gives that output again, with and
// without the working column, for every golden input.
TEST(EarlierResult, OwnOutputReadsBackByteForByte) {
  for (const char* name : {"review", "review-semicolon", "review-utf16", "review-sep", "medians",
                           "two-groups", "subgroups", "all-kinds", "extraction", "arms-meta",
                           "arms-metamedian", "arms-metafor", "arms-labels", "arms-calc"}) {
    const std::string input = GoldenFile(std::string(name) + ".csv");
    ASSERT_FALSE(input.empty()) << name;
    for (const bool working : {false, true}) {
      SCOPED_TRACE(std::string(name) + (working ? " with working" : ""));
      BatchOptions options;
      options.working = working;
      const std::string once = Convert(input, options);
      EXPECT_EQ(Convert(once, options), once);
      // Written with the other choice, read with this one.
      BatchOptions other = options;
      other.working = !working;
      EXPECT_EQ(Convert(Convert(input, other), options), once);
    }
  }
}

TEST(EarlierResult, ColumnsAreReadAsTheWriterWritesThem) {
  const std::string kTail = "critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal";
  const std::string kBlock = "method," + kTail;
  struct Row {
    std::string name, input, output;
  };
  // clang-format off
  const Row rows[] = {
      {"a study's own method column is kept, the program's is suffixed",
       "study,method,n,se,sd\nA,RCT,25,2,\nB,cohort,30,,4.1\n",
       "study,method,n,se,sd,method_result," + kTail + "\nA,RCT,25,2,10,se,,,,,,,\nB,cohort,30,,4.1,reported,,,,,,,\n"},
      {"a user's method_result beside method pushes the program's further",
       "study,method,method_result,n,se\nA,RCT,mine,25,2\n",
       "study,method,method_result,n,se,sd,method_result_result," + kTail + "\nA,RCT,mine,25,2,10,se,,,,,,,\n"},
      {"df and warning of the user's own", "n,se,df,warning\n4,1,x,y\n",
       "n,se,df,warning,sd,method,critical_value,df_result,sd_z,sd_t,z_t_gap_percent,warning_result,refusal\n4,1,x,y,2,se,,,,,,,\n"},
      {"a reported sd is checked", "n,sd\n4,-1\n4, 2 \n4,x\n",
       "n,sd," + kBlock + "\n4,-1,,,,,,,,sd is negative: '-1'\n4, 2 ,reported,,,,,,,\n4,x,,,,,,,,sd is not a number: 'x'\n"},
      {"a reported sd of 0 or of one observation is kept and warned of", "n,sd\n4,0\n1,2\n",
       "n,sd," + kBlock + "\n4,0,reported,,,,,,the reported sd '0' gives the study infinite weight; check the paper,\n"
       "1,2,reported,,,,,,n is 1: a single observation has no standard deviation; check the reported sd,\n"},
      {"an sd the earlier block filled is made again, a reported one kept",
       "n,se,sd," + kBlock + "\n4,1,99,se,,,,,,,\n4,1,3,reported,,,,,,,\n4,1,5,,,,,,,,\n",
       "n,se,sd," + kBlock + "\n4,1,2,se,,,,,,,\n4,1,3,reported,,,,,,,\n4,1,5,reported,,,,,,,\n"},
      {"the earlier working column is not carried", "n,se,sd," + kBlock + ",working\n4,1,2,se,,,,,,,,text\n",
       "n,se,sd," + kBlock + "\n4,1,2,se,,,,,,,\n"},
      {"a block that does not end the header is the user's", "n,se," + kBlock + ",notes\n4,1,se,,,,,,,,x\n",
       "n,se,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal,notes,sd,method_result,critical_value_result,df_result,sd_z_result,sd_t_result,z_t_gap_percent_result,warning_result,refusal_result\n4,1,se,,,,,,,,x,2,se,,,,,,,\n"},
      {"a median fills an empty mean and keeps a reported one",
       "n,mean,sd,median,min,max\n20,,,6,2,14\n20,7,,6,2,14\n20,6.5944677601167285,,6,2,14\n",
       "n,mean,sd,median,min,max,total_n," + kBlock + "\n"
       "20,6.5944677601167285,3.2115759673697015,6,2,14,,median-range,,,,,,estimated from the median: consider it in a sensitivity analysis,\n"
       "20,7,3.2115759673697015,6,2,14,,median-range (mean reported),,,,,,estimated from the median: consider it in a sensitivity analysis,\n"
       "20,6.5944677601167285,3.2115759673697015,6,2,14,,median-range (mean reported),,,,,,estimated from the median: consider it in a sensitivity analysis,\n"},
      {"a mean the earlier block filled is made again",
       "n,mean,sd,median,min,max,total_n," + kBlock + "\n20,1,9,6,2,14,,median-range,,,,,,,\n",
       "n,mean,sd,median,min,max,total_n," + kBlock + "\n20,6.5944677601167285,3.2115759673697015,6,2,14,,median-range,,,,,,estimated from the median: consider it in a sensitivity analysis,\n"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Convert(row.input), row.output);
    EXPECT_EQ(Convert(row.output), row.output);
  }
}

// The working of a median row with a reported mean says which mean stands.
TEST(EarlierResult, AReportedMeanIsNamedInTheWorking) {
  BatchOptions options;
  options.working = true;
  const std::string output = Convert("n,mean,sd,median,min,max\n20,7,,6,2,14\n", options);
  EXPECT_TRUE(
      output.ends_with("\r\n\r\nThe table reports the mean: it is kept, not the "
                       "estimate above.\"\n"))
      << output;
}

}  // namespace
}  // namespace kelmory::batch
