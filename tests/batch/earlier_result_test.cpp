// A table that holds the program's own result columns is an earlier result:
// they are made again, never carried twice; the user's sd and mean cells
// are kept where filled and filled where empty; the user's columns that
// share a result's name stay the user's.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "table/batch_run.h"

namespace kelmory::batch {
namespace {

std::string Convert(const std::string& input, const BatchOptions& options = {}) {
  std::string output;
  std::string_view rest = input;
  const BatchSummary summary = RunBatch(
      [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min(size, rest.size());
        std::copy_n(rest.data(), n, buffer);
        rest.remove_prefix(n);
        return static_cast<std::ptrdiff_t>(n);
      },
      [&](std::string_view bytes) {
        output.append(bytes);
        return true;
      },
      options);
  EXPECT_NE(summary.status, 2) << summary.message;
  return output;
}

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(KELMORY_GOLDEN_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// kelmory-batch on its own output gives that output again, with and
// without the working column, for every golden input.
TEST(EarlierResult, OwnOutputReadsBackByteForByte) {
  for (const char* name : {"review", "review-semicolon", "review-utf16", "review-sep", "medians",
                           "two-groups", "subgroups", "all-kinds", "extraction"}) {
    const std::string input = Golden(std::string(name) + ".csv");
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
      {"df and warning of the user's own", "n,se,df,warning\n4,1,x,y\n",
       "n,se,df,warning,sd,method,critical_value,df_result,sd_z,sd_t,z_t_gap_percent,warning_result,refusal\n4,1,x,y,2,se,,,,,,,\n"},
      {"a reported sd is checked", "n,sd\n4,-1\n4, 2 \n4,x\n",
       "n,sd," + kBlock + "\n4,-1,,,,,,,,sd is negative: '-1'\n4, 2 ,reported,,,,,,,\n4,x,,,,,,,,sd is not a number: 'x'\n"},
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
  }
}

}  // namespace
}  // namespace kelmory::batch
