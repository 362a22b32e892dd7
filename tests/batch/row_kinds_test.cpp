// The median, two-group and subgroup rows against their sources: values
// from an independent 50-digit computation (mpmath) to 1e-12, the
// published examples to 1e-6, every refusal, the working texts, and the
// columns a header adds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "rows/row_rules.h"
#include "table/table_cells.h"
#include "table/table_columns.h"
#include "tests/batch/listed_cells.h"

namespace kelmory::batch {
namespace {

constexpr std::nullopt_t kNo = std::nullopt;

RowResult Convert(const std::string& listed, Method method = Method::T, bool working = false,
                  char decimal = '.') {
  CriticalValueCache cache;
  const Cells cells(listed);
  return ConvertRow(cells.cells, RowSettings{method, 95, decimal, working}, cache);
}

void ExpectNear(const std::optional<double>& actual, const std::optional<double>& expected,
                double relative, const char* what) {
  ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
  if (expected) EXPECT_NEAR(*actual, *expected, std::fabs(*expected) * relative) << what;
}

const std::string kSensitivity = "estimated from the median: consider it in a sensitivity analysis";
std::string Skewed(const std::string& t, const std::string& c) {
  return "skewed: the median is off-centre (T = " + t + ", critical value " + c +
         "); a mean and SD estimated from it may mislead; " + kSensitivity;
}

struct Expected {
  std::string cells;
  Method method;
  std::string method_text;
  std::optional<double> sd, mean, total_n, critical_value, df, sd_z, sd_t, gap;
  std::string warning;
};

void CheckRows(const std::vector<Expected>& rows, double relative) {
  for (const Expected& row : rows) {
    SCOPED_TRACE(row.cells);
    const RowResult r = Convert(row.cells, row.method);
    EXPECT_EQ(r.refusal, "");
    EXPECT_EQ(r.method, row.method_text);
    EXPECT_EQ(r.warning, row.warning);
    ExpectNear(r.sd, row.sd, relative, "sd");
    ExpectNear(r.estimated_mean, row.mean, relative, "estimated_mean");
    ExpectNear(r.total_n, row.total_n, 0, "total_n");
    ExpectNear(r.critical_value, row.critical_value, relative, "critical_value");
    ExpectNear(r.df, row.df, 0, "df");
    ExpectNear(r.sd_z, row.sd_z, relative, "sd_z");
    ExpectNear(r.sd_t, row.sd_t, relative, "sd_t");
    ExpectNear(r.z_t_gap_percent, row.gap, relative, "z_t_gap_percent");
  }
}

// The n = 20 examples of a published meta-analysis package's manual.
TEST(RowKinds, PublishedMedianExamples) {
  const auto T = Method::T;
  CheckRows({{"n=20|min=2|median=6|max=14", T, "median-range", 3.211576, 6.594468, kNo, kNo, kNo,
              kNo, kNo, kNo, kSensitivity},
             {"n=20|q1=4|median=6|q3=10", T, "median-iqr", 4.787076, 6.719500, kNo, kNo, kNo, kNo,
              kNo, kNo, kSensitivity}},
            1e-6);
}

// Expected values: mpmath at 50 digits, from the formulas of Luo et al.
// (2018), Wan et al. (2014), Shi et al. (2020, 2023), the Handbook's
// two-group SE and Table 6.5.a.
TEST(RowKinds, AgreeWithAnIndependentComputation) {
  const auto T = Method::T, Z = Method::Z;
  // clang-format off
  CheckRows({
      {"n=20|min=2|median=6|max=14", T, "median-range", 3.2115759673697015, 6.5944677601167284, kNo, kNo, kNo, kNo, kNo, kNo, kSensitivity},
      {"n=20|q1=4|median=6|q3=10", T, "median-iqr", 4.7870760433704667, 6.7195, kNo, kNo, kNo, kNo, kNo, kNo, kSensitivity},
      {"n=20|min=2|q1=4|median=6|q3=10|max=14", Z, "median-five", 3.67943504464321, 6.9388412499397666, kNo, kNo, kNo, kNo, kNo, kNo, kSensitivity},
      {"n=30|q1=2|median=3|q3=12", T, "median-iqr", 7.7842021878704206, 5.852, kNo, kNo, kNo, kNo, kNo, kNo, Skewed("0.800", "0.477")},
      {"n=5|min=1|median=10|max=12", T, "median-range", 4.6619607290782819, 8.0936044374128148, kNo, kNo, kNo, kNo, kNo, kNo, kSensitivity},
      {"n=1000|min=10.25|median=50.5|max=90", T, "median-range", 12.355567881788972, 50.491750442799284, kNo, kNo, kNo, kNo, kNo, kNo, kSensitivity},
      {"n=7|min=1|q1=1.5|median=2|q3=4|max=9", T, "median-five", 2.8148470844861078, 3.3546573090089069, kNo, kNo, kNo, kNo, kNo, kNo, Skewed("1.078", "1.017")},
      {"n=400|q1=-5.5|median=-3|q3=-0.25", T, "median-iqr", 3.9060475565634846, -2.912378125, kNo, kNo, kNo, kNo, kNo, kNo, kSensitivity},
      {"n=12|min=4|median=4|max=20", T, "median-range", 4.8928488522778699, 7.0629572902141845, kNo, kNo, kNo, kNo, kNo, kNo, Skewed("1.000", "0.521")},
      {"n=100|min=1|q1=8|median=10|q3=12.5|max=30", T, "median-five", 4.5313717104900432, 10.518449184584535, kNo, kNo, kNo, kNo, kNo, kNo, Skewed("0.412", "0.300")},

      {"n1=12|n2=15|md=3.1|t=2.4", T, "two-group t statistic", 3.3350689925674981, kNo, kNo, kNo, 25, kNo, kNo, kNo, ""},
      {"n1=12|n2=15|md=3.1|p=0.02", T, "two-group p", 3.2208532739997374, kNo, kNo, 2.4851071754107628, 25, kNo, kNo, kNo, ""},
      {"n1=12|n2=15|ci=2", T, "two-group t", 2.5073469918976509, kNo, kNo, 2.0595385527532977, 25, 2.6347309622401331, 2.5073469918976509, 5.0804284669858732, ""},
      {"n1=12|n2=15|lower=1|upper=5|md=3", Z, "two-group z", 2.6347309622401331, kNo, kNo, 1.9599639845400542, 25, 2.6347309622401331, 2.5073469918976509, 5.0804284669858732,
       "n1 or n2 is below 60: the Cochrane Handbook advises t with n1 + n2 - 2 degrees of freedom; see sd_t"},
      {"n1=40|n2=38|se=0.75", T, "two-group se", 3.3108214179472836, kNo, kNo, kNo, 76, kNo, kNo, kNo, ""},
      // se beside an interval: se is used, the interval checked against it.
      {"n1=12|n2=15|se=0.9|ci=2", T, "two-group se", 2.3237900077244502, kNo, kNo, kNo, 25, kNo, kNo, kNo, ""},
      {"n1=12|n2=15|se=0.5|lower=1|upper=5|md=3", T, "two-group se", 1.2909944487358056, kNo, kNo, kNo, 25, kNo, kNo, kNo,
       "se and the interval disagree: they give SDs of 1.29099444873581 and 2.50734699189765"},
      {"n1=12|n2=15|se=0.5|lower=1|upper=5|md=9", T, "two-group se", 1.2909944487358056, kNo, kNo, kNo, 25, kNo, kNo, kNo,
       "the interval beside se was not checked: md '9' lies outside the interval from lower '1' to upper '5'"},
      // A printed t of 4 is 3.5 to 4.5: the SD 2 / 4.5 to 2 / 3.5.
      {"n1=2|n2=2|md=-2|t=-4", T, "two-group t statistic", 0.5, kNo, kNo, kNo, 2, kNo, kNo, kNo,
       "t is -4: as rounded it allows SDs from 0.444 to 0.571"},
      {"n1=12|n2=15|md=3.1|t=-2.4", T, "two-group t statistic", 3.3350689925674981, kNo, kNo, kNo, 25, kNo, kNo, kNo,
       "md '3.1' and t '-2.4' have opposite signs: check that both take the groups in the same order"},
      // p 0.99 as printed is 0.985 to 0.995; t 0.05 is 0.045 to 0.055.
      {"n1=25|n2=22|md=0.1|p=0.99", T, "two-group p", 27.142395584656908, kNo, kNo, 0.012603299012320459, 45, kNo, kNo, kNo,
       "p is 0.99: as rounded it allows SDs from 18.1 to 54.3"},
      {"n1=25|n2=22|md=0.1|t=0.05", T, "two-group t statistic", 6.8416745492823519, kNo, kNo, kNo, 45, kNo, kNo, kNo,
       "t is 0.05: as rounded it allows SDs from 6.22 to 7.60"},
      {"n1=8|n2=9|md=-1.5|p=1e-6", T, "two-group p", 0.3905963910640899, kNo, kNo, 7.9032336273138828, 15, kNo, kNo, kNo, ""},
      {"n1=30|n2=31|ci=1.2|level=90", T, "two-group t", 2.8038654842330068, kNo, kNo, 1.671093032103895, 59, 2.8485939398403538, 2.8038654842330068, 1.5952425627716008, ""},
      {"n1=70|n2=80|ci=1.2", Z, "two-group z", 3.7409468591077077, kNo, kNo, 1.9599639845400542, 148, 3.7409468591077077, 3.7103575996045968, 0.82442887732359757, ""},
      {"n1=30|n2=100|ci=1.2", Z, "two-group z", 2.9411834005388224, kNo, kNo, 1.9599639845400542, 128, 2.9411834005388224, 2.9133766929732565, 0.9544494411804883,
       "n1 or n2 is below 60: the Cochrane Handbook advises t with n1 + n2 - 2 degrees of freedom; see sd_t"},
      {"n1=20|n2=20|ci=1.5|z=2.1", Z, "two-group user", 2.258769757263128, kNo, kNo, 2.1, 38, 2.4201549251251721, 2.3431289097802573, 3.2873144547620487, ""},
      {"n1=12|n2=15|lower=1|upper=5|md=4.5", T, "two-group t", 2.5073469918976509, kNo, kNo, 2.0595385527532977, 25, 2.6347309622401331, 2.5073469918976509, 5.0804284669858732,
       "asymmetric interval: its halves differ by 75.0% of its width; it may have been computed on a log scale"},

      {"n_1=10|mean_1=5.2|sd_1=1.1|n_2=15|mean_2=6.1|sd_2=1.3", T, "combined", 1.2814379943381315, 5.74, 25, kNo, kNo, kNo, kNo, kNo, ""},
      {"n_1=10|mean_1=5.2|sd_1=1.1|n_2=15|mean_2=6.1|sd_2=1.3|n_3=12|mean_3=4.9|sd_3=0.8", T, "combined", 1.2038258581276183, 5.4675675675675676, 37, kNo, kNo, kNo, kNo, kNo, ""},
      {"n_1=2|mean_1=3|sd_1=0|n_2=2|mean_2=5|sd_2=0", T, "combined", 1.1547005383792515, 4, 4, kNo, kNo, kNo, kNo, kNo, ""},
      {"n_1=50|mean_1=1000.1|sd_1=0.02|n_2=60|mean_2=1000.2|sd_2=0.03", T, "combined", 0.056294382916573198, 1000.1545454545455, 110, kNo, kNo, kNo, kNo, kNo, ""},
      {"n_1=3|mean_1=-2|sd_1=1|n_2=4|mean_2=2|sd_2=1|n_3=5|mean_3=0|sd_3=0|n_4=6|mean_4=10|sd_4=2.5", T, "combined", 5.1489258985245391, 3.4444444444444444, 18, kNo, kNo, kNo, kNo, kNo, ""},
      // An empty subgroup is passed over.
      {"n_1=10|mean_1=5.2|sd_1=1.1|n_2=|n_3=15|mean_3=6.1|sd_3=1.3", T, "combined", 1.2814379943381315, 5.74, 25, kNo, kNo, kNo, kNo, kNo, ""},
  }, 1e-12);
  // clang-format on
}

TEST(RowKinds, Refusals) {
  const std::string kKinds =
      " do not go together: a row is one kind (se or an interval with n, a median set with n, two "
      "groups with n1 and n2, or subgroups)";
  const std::string kSet = "; give min, median and max, q1, median and q3, or all five";
  const std::string kOne = "give only one of se, ci, lower and upper, md with t, or md with p";
  const std::string kSub = "n_1=10|mean_1=5|sd_1=1|";
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      // Mixed kinds, named by their columns.
      {"n=20|se=1|median=6|min=2|max=14", "median and se" + kKinds},
      {"n=20|median=6|min=2|max=14|mean=7", "median and mean" + kKinds},
      {"n=20|median=6|min=2|max=14|level=95", "median and level" + kKinds},
      {"n=20|n1=10|n2=10|se=1", "n1 and n" + kKinds},
      {"n1=10|n2=10|se=1|mean=3", "n1 and mean" + kKinds},
      {"n1=10|n2=10|md=1|t=2|q1=3", "n1 and q1" + kKinds},
      {"n_1=10|mean_1=5|sd_1=1|n_2=10|mean_2=6|sd_2=1|n=20", "n_1 and n" + kKinds},
      {"mean_2=6|n1=5|n2=5", "mean_2 and n1" + kKinds},
      // Median rows.
      {"median=6|min=2|max=14", "n is empty"},
      {"n=4|median=6|min=2|max=14", "n is below 5, the least a median row takes: '4'"},
      {"n=1|median=6|min=2|max=14", "n is 1: a single observation has no standard deviation"},
      {"n=20.5|median=6|min=2|max=14", "n is not a whole number of at least 1: '20.5'"},
      {"n=20|median=6", "median is given alone: give min and max, q1 and q3, or all four"},
      {"n=20|median=6|min=2", "the median set is incomplete: max is missing" + kSet},
      {"n=20|min=2|max=14", "the median set is incomplete: median is missing" + kSet},
      {"n=20|q3=9", "the median set is incomplete: q1 and median are missing" + kSet},
      {"n=20|min=2|q1=3|median=6|max=14", "the median set is incomplete: q3 is missing" + kSet},
      {"n=20|min=2|q3=9", "the median set is incomplete: q1, median and max are missing" + kSet},
      {"n=20|min=7|median=6|max=14", "min '7' is above median '6': the values must run min <= q1 <= median <= q3 <= max"},
      {"n=20|q1=4|median=11|q3=10", "median '11' is above q3 '10': the values must run min <= q1 <= median <= q3 <= max"},
      {"n=20|min=5|q1=4|median=6|q3=10|max=14", "min '5' is above q1 '4': the values must run min <= q1 <= median <= q3 <= max"},
      {"n=20|min=2|q1=4|median=6|q3=15|max=14", "q3 '15' is above max '14': the values must run min <= q1 <= median <= q3 <= max"},
      {"n=20|min=6|median=6|max=6", "max '6' equals min '6': the range must be positive"},
      {"n=20|q1=6|median=6|q3=6.0", "q3 '6.0' equals q1 '6': the interquartile range must be positive"},
      {"n=20|min=2|q1=6|median=6|q3=6|max=14", "q3 '6' equals q1 '6': the interquartile range must be positive"},
      {"n=20|min=-1e308|median=0|max=1e308", "the values are too large to be computed"},
      {"n=20|median=6|min=2|max=x", "max is not a number: 'x'"},
      // Two-group rows.
      {"n2=10|se=1", "n1 is empty"},
      {"n1=10|se=1", "n2 is empty"},
      {"n1=0|n2=10|se=1", "n1 is not a whole number of at least 1: '0'"},
      {"n1=10|n2=2.5|se=1", "n2 is not a whole number of at least 1: '2.5'"},
      {"n1=1|n2=1|se=1", "n1 is 1: a single observation has no standard deviation"},
      {"n1=10|n2=1|md=2|t=2", "n2 is 1: a single observation has no standard deviation"},
      // An SD of 0, and a difference of 0 beside a t or p that deny it.
      {"n1=10|n2=10|se=0", "se is 0: '0', which gives an SD of 0 and the study infinite weight"},
      {"n1=10|n2=10|ci=0.0", "ci is 0: '0.0', which gives an SD of 0 and the study infinite weight"},
      {"n1=10|n2=10|lower=2|upper=2", "upper '2' equals lower '2', an interval of no width, which gives an SD of 0 and the study infinite weight"},
      {"n1=10|n2=10|md=0|t=1.5", "md '0' with t '1.5' contradicts itself: a difference of 0 gives t = 0 and p = 1"},
      {"n1=10|n2=10|md=-0.00|p=0.9", "md '-0.00' with p '0.9' contradicts itself: a difference of 0 gives t = 0 and p = 1"},
      {"n1=10|n2=10|se=-1", "se is negative: '-1'"},
      {"n1=10|n2=10|lower=1", "lower is given without upper: '1'"},
      {"n1=10|n2=10|ci=1|level=100", "level is not between 0 and 100: '100'"},
      {"n1=10|n2=10|t=2", "t is given without md"},
      {"n1=10|n2=10|p=0.2", "p is given without md"},
      {"n1=10|n2=10|md=2", "no source: " + kOne},
      {"n1=10|n2=10|md=2|t=2|p=0.05", "more than one source: t and p are given; " + kOne},
      {"n1=10|n2=10|md=2|se=1|t=2", "more than one source: se and t are given; " + kOne},
      {"n1=10|n2=10|ci=1|lower=1|upper=2", "more than one source: ci, lower and upper are given; " + kOne},
      {"n1=10|n2=10|se=1|ci=2|lower=1|upper=2", "more than one source: se, ci, lower and upper are given; " + kOne},
      {"n1=10|n2=10|md=2|t=0", "t is 0, which gives no standard error: '0'"},
      {"n1=10|n2=10|md=2|p=<0.001", "p is not a number: '<0.001'"},
      {"n1=10|n2=10|md=2|p=1", "p is not between 0 and 1: '1'"},
      {"n1=10|n2=10|md=2|p=0", "p is not between 0 and 1: '0'"},
      {"n1=10|n2=10|md=7|lower=1|upper=5", "md '7' lies outside the interval from lower '1' to upper '5'"},
      // Subgroup rows.
      {"n_1=10|mean_1=5|sd_1=1", "only subgroup 1 is complete: combining takes two or more"},
      {kSub + "n_3=10|mean_3=5", "subgroup 3 has n_3 and mean_3 but no sd_3"},
      {kSub + "sd_2=1", "subgroup 2 has sd_2 but no n_2 or mean_2"},
      {kSub + "n_2=4|sd_2=1", "subgroup 2 has n_2 and sd_2 but no mean_2"},
      {kSub + "n_2=0|mean_2=5|sd_2=1", "n_2 is not a whole number of at least 1: '0'"},
      {kSub + "n_2=1|mean_2=5|sd_2=0", "n_2 is 1: a single observation has no standard deviation"},
      {"n_1=10|mean_1=5|sd_1=0|n_2=4|mean_2=5.0|sd_2=0", "the subgroups have no spread (mean_1 '5', sd_1 '0', mean_2 '5.0', sd_2 '0'), which gives an SD of 0 and the study infinite weight"},
      {kSub + "n_2=2.5|mean_2=5|sd_2=1", "n_2 is not a whole number of at least 1: '2.5'"},
      {kSub + "n_2=4|mean_2=5|sd_2=-1", "sd_2 is negative: '-1'"},
      {kSub + "n_2=4|mean_2=five|sd_2=1", "mean_2 is not a number: 'five'"},
      {kSub + "n_2=4|mean_2=1e308|sd_2=1e300", "the combined figures are too large to be computed"},
  };
  // clang-format on
  for (const auto& [cells, refusal] : rows) {
    SCOPED_TRACE(cells);
    const RowResult r = Convert(cells);
    EXPECT_EQ(r.refusal, refusal);
    EXPECT_EQ(r.method, "");
    EXPECT_FALSE(r.sd || r.estimated_mean || r.total_n || r.critical_value || r.df || r.sd_z ||
                 r.sd_t || r.z_t_gap_percent);
  }
}

TEST(RowKinds, WarningsUseTheTablesDecimalSeparator) {
  EXPECT_EQ(Convert("n=30|q1=2|median=3|q3=12", Method::T, false, ',').warning,
            Skewed("0,800", "0,477"));
  EXPECT_EQ(Convert("n1=25|n2=22|md=0,1|p=0,99", Method::T, false, ',').warning,
            "p is 0,99: as rounded it allows SDs from 18,1 to 54,3");
}

// T = 0.4161 beside its critical value 0.41602 (1 / ln 29 + 2.5 / 21): three
// places would show both as 0.416.
TEST(RowKinds, SkewnessShowsTheDigitsThatTellTAndItsThresholdApart) {
  EXPECT_EQ(Convert("n=20|min=0|median=291.95|max=1000").warning, Skewed("0.4161", "0.4160"));
}

TEST(RowKinds, WorkingTexts) {
  const std::string median =
      "Estimated mean (Luo et al. 2018):\r\n"
      "mean = w * (min + max) / 2 + (1 - w) * median\r\n"
      "w = 4 / (4 + N^0.75) = 0.297233880058364\r\n"
      "Which computes to 0.297233880058364 * (2 + 14) / 2 + 0.702766119941636 * 6\r\n"
      "Therefore, the estimated mean = 6.59446776011673\r\n"
      "\r\n"
      "Standard Deviation (Wan et al. 2014):\r\n"
      "SD = (max - min) / xi\r\n"
      "xi = 2 * z((N - 0.375) / (N + 0.25)) = 2 * z((20 - 0.375) / (20 + 0.25)) = "
      "3.73648330972786\r\n"
      "with z the standard normal quantile\r\n"
      "Which computes to (14 - 2) / 3.73648330972786\r\n"
      "\r\n"
      "Therefore, the SD = 3.2115759673697\r\n"
      "\r\n"
      "Skewness test (Shi et al. 2023):\r\n"
      "T1 = |min + max - 2 * median| / (max - min) = |2 + 14 - 2 * 6| / (14 - 2) = "
      "0.333333333333333\r\n"
      "T = T1; critical value = 1 / ln(N + 9) + 2.5 / (N + 1) = 0.416021823420989\r\n"
      "Therefore, T stays below the critical value: no sign of skewness";
  const std::string two_group =
      "Degrees of freedom = N1 + N2 - 2 = 12 + 15 - 2 = 25\r\n"
      "\r\n"
      "Confidence Error = (upper - lower) / 2 = (5 - 1) / 2 = 2\r\n"
      "Standard Error = Confidence Error / the t-value with N1 + N2 - 2 degrees of freedom = 2 / "
      "2.0595385527533 = 0.971091314278287\r\n"
      "\r\n"
      "The Standard Deviation of each group = Standard Error / sqrt(1/N1 + 1/N2)\r\n"
      "sqrt(1/N1 + 1/N2) = sqrt(1/12 + 1/15) = 0.387298334620742\r\n"
      "Which computes to 0.971091314278287 / 0.387298334620742\r\n"
      "\r\n"
      "Therefore, the SD = 2.50734699189765";
  const std::string subgroups =
      "Combining the subgroups in column order (Cochrane Handbook, Table 6.5.a):\r\n"
      "N = N1 + N2\r\n"
      "M = (N1 * M1 + N2 * M2) / N\r\n"
      "SD = sqrt(((N1 - 1) * SD1^2 + (N2 - 1) * SD2^2 + N1 * N2 / N * (M1^2 + M2^2 - 2 * M1 * "
      "M2)) / (N - 1))\r\n"
      "\r\n"
      "Subgroups 1 and 2:\r\n"
      "N = 10 + 15 = 25\r\n"
      "M = (10 * 5.2 + 15 * 6.1) / 25 = 5.74\r\n"
      "SD = sqrt((9 * 1.1^2 + 14 * 1.3^2 + 10 * 15 / 25 * (5.2^2 + 6.1^2 - 2 * 5.2 * 6.1)) / 24) = "
      "1.28143799433813\r\n"
      "\r\n"
      "With subgroup 3:\r\n"
      "N = 25 + 12 = 37\r\n"
      "M = (25 * 5.74 + 12 * 4.9) / 37 = 5.46756756756757\r\n"
      "SD = sqrt((24 * 1.28143799433813^2 + 11 * 0.8^2 + 25 * 12 / 37 * (5.74^2 + 4.9^2 - 2 * 5.74 "
      "* 4.9)) / 36) = 1.20382585812762\r\n"
      "\r\n"
      "Therefore, the combined N = 37, mean = 5.46756756756757 and SD = 1.20382585812762";
  EXPECT_EQ(Convert("n=20|min=2|median=6|max=14", Method::T, true).working, median);
  // A decimal-comma table writes the formulas' constants with commas too;
  // only "et al." keeps its point.
  std::string comma = median;
  std::replace(comma.begin(), comma.end(), '.', ',');
  for (std::size_t at = comma.find("al,"); at != std::string::npos; at = comma.find("al,", at))
    comma[at + 2] = '.';
  EXPECT_EQ(Convert("n=20|min=2|median=6|max=14", Method::T, true, ',').working, comma);
  EXPECT_EQ(Convert("n1=12|n2=15|lower=1|upper=5", Method::T, true).working, two_group);
  EXPECT_EQ(
      Convert("n_1=10|mean_1=5.2|sd_1=1.1|n_2=15|mean_2=6.1|sd_2=1.3|n_3=12|mean_3=4.9|sd_3=0.8",
              Method::T, true)
          .working,
      subgroups);
}

// The review window shows each added cell as the writer writes it.
TEST(TableColumns, ResultCellsOfTheNewColumns) {
  const RowResult r = Convert("n_1=10|mean_1=5.2|sd_1=1.1|n_2=15|mean_2=6.1|sd_2=1.3");
  EXPECT_EQ(ResultCell(r, "estimated_mean", ','), "5,74");
  EXPECT_EQ(ResultCell(r, "total_n", '.'), "25");
  EXPECT_EQ(ResultCell(r, "method", '.'), "combined");
  EXPECT_EQ(ResultCell(Convert("n=25|se=2"), "estimated_mean", '.'), "");
}

// The added columns' order shows in the golden files; here the headers
// that a run refuses.
TEST(TableColumns, HeadersThatCannotBeRead) {
  const std::pair<std::vector<std::string_view>, std::string> problems[] = {
      {{"n", "sd", "SD"}, "the header has two columns named 'sd'"},
      {{"median", "q1"}, "the header has no column named 'n'"},
      {{"n_1", "N_1"}, "the header has two columns named 'n_1'"},
      {{"n", "p", "P "}, "the header has two columns named 'p'"},
  };
  for (const auto& [header, problem] : problems)
    EXPECT_EQ(ReadTableColumns(header).problem, problem);
}

}  // namespace
}  // namespace kelmory::batch
