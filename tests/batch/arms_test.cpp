// Two arms a row: each arm converted as a row of its own would be, the
// difference between the arms, and the headers that cannot be read. The
// figures are the one-group and two-group literals of the golden files,
// checked there against R, mpmath and Python's floats.

#include <gtest/gtest.h>

#include <string>

#include "table/batch_run.h"
#include "tests/batch/listed_cells.h"

namespace kelmory::batch {
namespace {

const std::string kCore =
    "method{0},critical_value{0},df{0},sd_z{0},sd_t{0},z_t_gap_percent{0},warning{0},refusal{0}";

// The result block's headings for one arm.
std::string Block(const std::string& suffix) {
  std::string block = kCore;
  for (std::size_t at; (at = block.find("{0}")) != std::string::npos;) block.replace(at, 3, suffix);
  return block;
}

struct Case {
  const char* what;
  std::string input, output;
  int status;
};

void Check(const Case& c) {
  SCOPED_TRACE(c.what);
  std::string output;
  const BatchSummary summary = RunOver(c.input, {}, output);
  EXPECT_EQ(summary.status, c.status) << summary.message;
  EXPECT_EQ(output, c.output);
}

constexpr const char* kMedianWarning =
    "estimated from the median: consider it in a sensitivity analysis";

TEST(Arms, EachConventionAndKindOfArm) {
  const std::string median(kMedianWarning);
  const Case cases[] = {
      {"meta: an se arm fills its sd, a reported sd is kept",
       "study,n.e,mean.e,sd.e,se.e,n.c,mean.c,sd.c\nAbel,25,5.1,,2,25,4.2,3.9\n",
       "study,n.e,mean.e,sd.e,se.e,n.c,mean.c,sd.c," + Block(".e") + "," + Block(".c") +
           "\nAbel,25,5.1,10,2,25,4.2,3.9,se,,,,,,,,reported,,,,,,,\n",
       0},
      {"metafor: an interval arm without an sd column gets sd1i",
       "n1i,lower1i,upper1i,n2i,se2i\n10,1,5,25,2\n",
       "n1i,lower1i,upper1i,n2i,se2i,sd1i," + Block("1i") + ",sd2i," + Block("2i") +
           "\n10,1,5,25,2,2.795807216379925,t,2.2621571627982053,9,3.2268732335002297,"
           "2.795807216379925,15.418302613813939,,,10,se,,,,,,,\n",
       0},
      {"metamedian: med and quartiles fill the mean; a reported mean stays",
       "n.g1,mean.g1,sd.g1,q1.g1,med.g1,q3.g1,n.g2,mean.g2,sd.g2,min.g2,med.g2,max.g2\n"
       "20,,,4,6,10,20,7,,2,6,14\n",
       "n.g1,mean.g1,sd.g1,q1.g1,med.g1,q3.g1,n.g2,mean.g2,sd.g2,min.g2,med.g2,max.g2," +
           Block(".g1") + "," + Block(".g2") +
           "\n20,6.7195,4.787076043370467,4,6,10,20,7,3.2115759673697015,2,6,14,median-iqr,,,,,," +
           median + ",,median-range (mean reported),,,,,," + median + ",\n",
       0},
      {"a median arm without a mean column gets estimated_mean of its own",
       "n.x,median.x,min.x,max.x\n20,6,2,14\n",
       "n.x,median.x,min.x,max.x,sd.x,estimated_mean.x," + Block(".x") +
           "\n20,6,2,14,3.2115759673697015,6.5944677601167285,median-range,,,,,," + median + ",\n",
       0},
      {"own labels in any case; a refused arm leaves the other as it is",
       "N.Drug,SE.Drug,N.Placebo,SE.Placebo\n1,1,25,2\n",
       "N.Drug,SE.Drug,N.Placebo,SE.Placebo,sd.Drug," + Block(".Drug") + ",sd.Placebo," +
           Block(".Placebo") +
           "\n1,1,25,2,,,,,,,,,n is 1: a single observation has no standard deviation,10,se,,,,,"
           ",,\n",
       1},
      {"the row's level serves an arm without its own",
       "n.a,lower.a,upper.a,n.b,ci.b,level.b,level\n10,1,5,10,2,95,90\n",
       "n.a,lower.a,upper.a,n.b,ci.b,level.b,level,sd.a," + Block(".a") + ",sd.b," + Block(".b") +
           "\n10,1,5,10,2,95,90,3.4501722221621574,t,1.8331129326562372,9,3.845056615802659,"
           "3.4501722221621574,11.445353107417786,,,2.795807216379925,t,2.2621571627982053,9,"
           "3.2268732335002297,2.795807216379925,15.418302613813939,,\n",
       0},
      {"a row's own refusal and a blank row", "n.a,se.a,n.b,se.b\n,,,\n25,2,25,2,7\n",
       "n.a,se.a,n.b,se.b,sd.a," + Block(".a") + ",sd.b," + Block(".b") + "\n" +
           std::string(21, ',') +
           "\n25,2,25,2,,,,,,,,,the row has 1 filled cell past the "
           "header's last column,,,,,,,,,the row has 1 filled cell past the header's last "
           "column,7\n",
       1},
  };
  for (const Case& c : cases) Check(c);
}

// Handbook 6.5.2.3 with n1 and n2 the arms' n: the common SD goes to each
// arm that gives only its n; an arm with an SD or a source of its own keeps
// to it.
TEST(Arms, TheDifferenceBetweenTheArms) {
  const std::string head = "study,n.e,sd.e,se.e,n.c,sd.c,md,t,p,se,lower,upper";
  const std::string out_head = head + "," + Block(".e") + "," + Block(".c");
  const Case cases[] = {
      {"md with p", head + "\nDunn,12,,,15,,3.1,,0.02,,,\n",
       out_head + "\nDunn,12,3.220853273999737,,15,3.220853273999737,3.1,,0.02,,,,two-group p,"
                  "2.485107175410763,25,,,,,,two-group p,2.485107175410763,25,,,,,\n",
       0},
      {"md with t", head + "\nCole,12,,,15,,3.1,2.4,,,,\n",
       out_head + "\nCole,12,3.335068992567498,,15,3.335068992567498,3.1,2.4,,,,,two-group t "
                  "statistic,,25,,,,,,two-group t statistic,,25,,,,,\n",
       0},
      {"the se of the difference", head + "\nD,40,,,38,,,,,0.75,,\n",
       out_head +
           "\nD,40,3.3108214179472837,,38,3.3108214179472837,,,,0.75,,,two-group se,,76,,,,,,"
           "two-group se,,76,,,,,\n",
       0},
      {"bounds, and an arm that reports its SD keeps it", head + "\nEvans,12,2.2,,15,,3,,,,1,5\n",
       out_head + "\nEvans,12,2.2,,15,2.5073469918976508,3,,,,1,5,reported,,,,,,,,two-group t,"
                  "2.0595385527532977,25,2.634730962240133,2.5073469918976508,5.08042846698588,,\n",
       0},
      // n1 25 then: 3.1 / 2.4 / sqrt(1/25 + 1/15) = 3.9549053138686734.
      {"an arm with its own se is converted by it", head + "\nAbel,25,,2,15,,3.1,2.4,,,,\n",
       out_head + "\nAbel,25,10,2,15,3.9549053138686734,3.1,2.4,,,,,se,,,,,,,,two-group t "
                  "statistic,,38,,,,,\n",
       0},
      {"an arm without its n", head + "\nGray,12,,,,,3.1,2.4,,,,\n",
       out_head + "\nGray,12,,,,,3.1,2.4,,,,,,,,,,,,n.c is empty: the difference between the arms "
                  "needs both arms' n,,,,,,,,n.c is empty: the difference between the arms needs "
                  "both arms' n\n",
       1},
      {"an n of 1, named as the header names it", head + "\nHall,1,,,15,,3.1,2.4,,,,\n",
       out_head +
           "\nHall,1,,,15,,3.1,2.4,,,,,,,,,,,,n.e is 1: a single observation has no standard "
           "deviation,,,,,,,,n.e is 1: a single observation has no standard deviation\n",
       1},
      {"three arms", "n.a,n.b,n.c,md,t\n10,10,10,1,2\n",
       "n.a,n.b,n.c,md,t,sd.a," + Block(".a") + ",sd.b," + Block(".b") + ",sd.c," + Block(".c") +
           "\n10,10,10,1,2,,,,,,,,,the difference between the arms needs two arms; the header "
           "has 3,,,,,,,,,the difference between the arms needs two arms; the header has 3,,,,,"
           ",,,,the difference between the arms needs two arms; the header has 3\n",
       1},
  };
  for (const Case& c : cases) Check(c);
}

// The later kinds in arms: a change arm's correlation from its three SDs,
// (16 + 25 - 20.25) / (2 * 4 * 5) = 0.51875, and a median arm's skewed
// estimate beside the normal one, as the same cells give in a row of their
// own. Read again, the output is the same.
TEST(Arms, TakeTheLaterKindsWithTheirOwnFigures) {
  BatchOptions options;
  options.median = MedianMethod::LogNormal;
  std::string alone;
  ASSERT_EQ(RunOver("n,median,min,max\n22,4,2,9\n", options, alone).status, 0);
  std::string median_cells = alone.substr(alone.find("\n22,4,2,9,") + 10);
  // An arm has no total_n, which the row of its own leaves empty.
  median_cells.erase(median_cells.find(',', median_cells.find(',') + 1), 1);
  const std::string input =
      "study,n.e,sd_baseline.e,sd_final.e,sd_change.e,n.c,median.c,min.c,max.c\n"
      "A,20,4,5,4.5,22,4,2,9\n";
  std::string output;
  ASSERT_EQ(RunOver(input, options, output).status, 0);
  EXPECT_EQ(output,
            "study,n.e,sd_baseline.e,sd_final.e,sd_change.e,n.c,median.c,min.c,max.c,sd.e,"
            "estimated_mean.e,corr_estimated.e," +
                Block(".e") +
                ",sd.c,estimated_mean.c,mean_normal.c,sd_normal.c,mean_skewed.c,sd_skewed.c,"
                "skewed_method.c," +
                Block(".c") + "\nA,20,4,5,4.5,22,4,2,9,4.5,,0.51875,correlation,,,,,,,," +
                median_cells);
  std::string again;
  ASSERT_EQ(RunOver(output, options, again).status, 0);
  EXPECT_EQ(again, output);
}

TEST(Arms, HeadersThatCannotBeRead) {
  const struct {
    std::string header, message;
  } rows[] = {
      {"study,n,se,n.e,se.e",
       "line 1: the header has columns of one group a row (n) beside arms (n.e): give every "
       "group's columns its arm's suffix"},
      {"study,n1,n2,sd,n.e,n.c",
       "line 1: the header has columns of one group a row (n1, n2, sd) beside arms (n.e, n.c): "
       "give every group's columns its arm's suffix"},
      {"n_1,mean_1,sd_1,n1i",
       "line 1: the header has columns of one group a row (n_1, mean_1, sd_1) beside arms "
       "(n1i): give every group's columns its arm's suffix"},
      {"study,n.e,mean.c,SD.c",
       "line 1: the header's arm c has no n column (it has mean.c, SD.c): every arm needs its "
       "n"},
      {"n1i,m1i,mean1i",
       "line 1: the header has two columns for one cell of arm 1: 'm1i' and 'mean1i'"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.header);
    std::string output;
    const BatchSummary summary = RunOver(row.header + "\n1,2,3,4,5,6\n", {}, output);
    EXPECT_EQ(summary.status, 2);
    EXPECT_EQ(summary.message, row.message);
    EXPECT_EQ(output, "");
  }
}

}  // namespace
}  // namespace kelmory::batch
