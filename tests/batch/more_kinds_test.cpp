// The rows beyond medians and two groups against independent computations:
// a mean with a range or quartiles (Wan et al. 2014, Shi et al. 2020),
// ratios on the log scale (Cochrane Handbook 6.3.2), paired differences
// (23.2.7) and changes from baseline (6.5.2.8), with expected values
// from mpmath at 50 digits and published examples, every refusal and the
// working texts.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "tests/batch/listed_cells.h"

namespace kelmory::batch {
namespace {

RowResult Convert(const std::string& listed, bool working = false, char decimal = '.') {
  CriticalValueCache cache;
  const Cells cells(listed);
  return ConvertRow(cells.cells, RowSettings{Method::T, 95, decimal, working}, cache);
}

void ExpectNear(const std::optional<double>& actual, const std::optional<double>& expected,
                double relative, const char* what) {
  ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
  if (expected) EXPECT_NEAR(*actual, *expected, std::fabs(*expected) * relative) << what;
}

const std::string kRange = "SD estimated from the range: consider it in a sensitivity analysis";
const std::string kIqr =
    "SD estimated from the interquartile range: consider it in a sensitivity analysis";
const std::string kFour =
    "SD estimated from the range and quartiles: consider it in a sensitivity analysis";

TEST(MeanRows, AgreeWithAnIndependentComputation) {
  struct Row {
    std::string cells, method;
    double sd;
    std::string warning;
  };
  // clang-format off
  const Row rows[] = {
      {"n=20|mean=7|min=2|max=14", "mean-range", 3.2115759673697015438, kRange},
      {"n=100|mean=50.2|min=10.25|max=90", "mean-range", 15.958997293515492949, kRange},
      {"n=5|mean=11|min=1|max=12", "mean-range", 4.6619607290782819255, kRange},
      {"n=1000|mean=0|min=-3|max=7.5", "mean-range", 1.6267518841226859945, kRange},
      {"n=20|mean=7|q1=4|q3=10", "mean-iqr", 4.7870760433704667343, kIqr},
      {"n=7|mean=3|q1=1.5|q3=4", "mean-iqr", 2.296355033587473896, kIqr},
      // A mean beyond a quartile is what skewed data give.
      {"n=400|mean=1|q1=-5.5|q3=-0.25", "mean-iqr", 3.9060475565634845901, kIqr},
      {"n=100|mean=11|min=1|q1=8|q3=12.5|max=30", "mean-five", 4.5313717104900432178, kFour},
      {"n=7|mean=3|min=1|q1=1.5|q3=4|max=9", "mean-five", 2.8148470844861077783, kFour},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    const RowResult r = Convert(row.cells);
    EXPECT_EQ(r.refusal, "");
    EXPECT_EQ(r.method, row.method);
    EXPECT_EQ(r.warning, row.warning);
    ExpectNear(r.sd, row.sd, 1e-12, "sd");
    EXPECT_FALSE(r.estimated_mean || r.total_n || r.critical_value || r.df || r.sd_z || r.sd_t);
  }
}

TEST(MeanRows, Refusals) {
  const std::string kKinds =
      " do not go together: a row is one kind (se or an interval with n, a median set with n, two "
      "groups with n1 and n2, or subgroups)";
  const std::string kFourOrder = ": the values must run min <= q1 <= q3 <= max";
  const std::pair<std::string, std::string> rows[] = {
      {"mean=7|min=2|max=14", "n is empty"},
      {"n=4|mean=7|min=2|max=14", "n is below 5, the least a range or quartiles take: '4'"},
      {"n=2.5|mean=7|min=2|max=14", "n is not a whole number of at least 1: '2.5'"},
      {"n=20|mean=7|min=2", "max is missing: a mean takes min and max, q1 and q3, or all four"},
      {"n=20|mean=7|q3=2", "q1 is missing: a mean takes min and max, q1 and q3, or all four"},
      {"n=20|mean=7|min=2|max=14|q1=4",
       "q3 is missing: a mean takes min and max, q1 and q3, or all four"},
      {"n=20|mean=7|min=14|max=2", "min '14' is above max '2'" + kFourOrder},
      {"n=20|mean=7|min=2|q1=1|q3=9|max=14", "min '2' is above q1 '1'" + kFourOrder},
      {"n=20|mean=7|min=3|max=3.0", "max '3.0' equals min '3': the range must be positive"},
      {"n=20|mean=7|q1=5|q3=5", "q3 '5' equals q1 '5': the interquartile range must be positive"},
      {"n=20|mean=15|min=2|max=14", "mean '15' lies outside the range from min '2' to max '14'"},
      {"n=20|mean=7|min=-1e308|max=1e308", "the values are too large to be computed"},
      // A median makes it a median row, where a mean does not belong.
      {"n=20|mean=7|median=6|min=2|max=14", "median and mean" + kKinds},
      {"n=20|mean=7|min=2|max=14|se=1", "min and se" + kKinds},
  };
  for (const auto& [cells, refusal] : rows) {
    SCOPED_TRACE(cells);
    const RowResult r = Convert(cells);
    EXPECT_EQ(r.refusal, refusal);
    EXPECT_EQ(r.method, "");
    EXPECT_FALSE(r.sd);
  }
}

TEST(MeanRows, WorkingText) {
  EXPECT_EQ(Convert("n=20|mean=7|q1=4|q3=10", true, ',').working,
            "The mean is reported: the SD needs no median.\r\n"
            "\r\n"
            "Standard Deviation (Wan et al. 2014):\r\n"
            "SD = (q3 - q1) / eta\r\n"
            "eta = 2 * z((0,75 * N - 0,125) / (N + 0,25)) = 2 * z((0,75 * 20 - 0,125) / (20 + "
            "0,25)) = 1,25337470005501\r\n"
            "with z the standard normal quantile\r\n"
            "Which computes to (10 - 4) / 1,25337470005501\r\n"
            "\r\n"
            "Therefore, the SD = 4,78707604337047");
  EXPECT_EQ(Convert("n=20|mean=7|min=2|q1=4|q3=10|max=14", true).working,
            "The mean is reported: the SD needs no median.\r\n"
            "\r\n"
            "Standard Deviation (Shi et al. 2020):\r\n"
            "SD = w * (max - min) / xi + (1 - w) * (q3 - q1) / eta\r\n"
            "w = 1 / (1 + 0.07 * N^0.6) = 0.703040904662399\r\n"
            "xi = 2 * z((N - 0.375) / (N + 0.25)) = 2 * z((20 - 0.375) / (20 + 0.25)) = "
            "3.73648330972786\r\n"
            "eta = 2 * z((0.75 * N - 0.125) / (N + 0.25)) = 2 * z((0.75 * 20 - 0.125) / (20 + "
            "0.25)) = 1.25337470005501\r\n"
            "with z the standard normal quantile\r\n"
            "Which computes to 0.703040904662399 * (14 - 2) / 3.73648330972786 + "
            "0.296959095337601 * (10 - 4) / 1.25337470005501\r\n"
            "\r\n"
            "Therefore, the SD = 3.67943504464321");
}

// metafor's conv.wald documentation: OR 0.64 with 0.33 to 1.22 gives ln OR
// -0.4463 and variance 0.1113; with p 0.17, variance 0.1058.
TEST(RatioRows, PublishedExample) {
  const RowResult interval = Convert("or=0.64|lower=0.33|upper=1.22");
  EXPECT_NEAR(*interval.log_ratio, -0.4463, 0.00005);
  EXPECT_NEAR(*interval.se_log_ratio * *interval.se_log_ratio, 0.1113, 0.00005);
  const RowResult p = Convert("or=0.64|p=0.17");
  EXPECT_NEAR(*p.se_log_ratio * *p.se_log_ratio, 0.1058, 0.00005);
}

TEST(RatioRows, AgreeWithAnIndependentComputation) {
  struct Row {
    std::string cells, method;
    double log_ratio, se, z;
    std::string warning;
  };
  const std::string kAsymmetric =
      "asymmetric on the log scale: its halves differ by 45.6% of its log width; the figures may "
      "be rounded, or the interval not computed on the log scale";
  // clang-format off
  const Row rows[] = {
      {"or=0.64|lower=0.33|upper=1.22", "log-ratio interval", -0.44628710262841951153, 0.3335554871365687849, 1.9599639845400542355, ""},
      {"hr=0.8|lower=0.7|upper=0.9|level=90", "log-ratio interval", -0.22314355131420975577, 0.076394161815688564072, 1.6448536269514727149, ""},
      {"rr=1.5|lower=1.2|upper=1.875|level=99%", "log-ratio interval", 0.40546510810816438198, 0.086629789872632176582, 2.575829303548900761, ""},
      {"or=0.25|lower=0.01|upper=6.25|n=40", "log-ratio interval", -1.3862943611198906188, 1.6423137620172015599, 1.9599639845400542355, ""},
      {"or=2|lower=1.1|upper=2.5", "log-ratio interval", 0.69314718055994530942, 0.20943766276972944913, 1.9599639845400542355, kAsymmetric},
      {"or=0.64|p=0.17", "log-ratio p", -0.44628710262841951153, 0.32523383166678987102, 1.3722038089987259373, ""},
      {"hr=3.2|p=0.001", "log-ratio p", 1.1631508098056808631, 0.3534846864101659797, 3.2905267314918947932, ""},
      {"rr=0.9|p=0.95", "log-ratio p", -0.10536051565782630123, 1.6802093667328758805, 0.062706777943213784067, ""},
      {"hr=1.1|p=1e-8", "log-ratio p", 0.095310179804324860044, 0.016631423680258297427, 5.7307288682362896501, ""},
      // Both: the interval is used, p checked against it.
      {"or=0.64|lower=0.33|upper=1.22|p=0.17", "log-ratio interval", -0.44628710262841951153, 0.3335554871365687849, 1.9599639845400542355, ""},
      {"or=0.64|lower=0.33|upper=1.22|p=0.5", "log-ratio interval", -0.44628710262841951153, 0.3335554871365687849, 1.9599639845400542355,
       "the interval and p disagree: they give SEs of 0.333555487136569 and 0.661666248447332"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    const RowResult r = Convert(row.cells);
    EXPECT_EQ(r.refusal, "");
    EXPECT_EQ(r.method, row.method);
    EXPECT_EQ(r.warning, row.warning);
    ExpectNear(r.log_ratio, row.log_ratio, 1e-13, "log_ratio");
    ExpectNear(r.se_log_ratio, row.se, 1e-13, "se_log_ratio");
    ExpectNear(r.critical_value, row.z, 1e-13, "critical_value");
    EXPECT_FALSE(r.sd || r.df || r.sd_z || r.sd_t);
  }
}

TEST(RatioRows, Refusals) {
  const std::pair<std::string, std::string> rows[] = {
      {"or=0|p=0.2", "or is not above 0, which has no logarithm: '0'"},
      {"rr=-1.2|lower=0.5|upper=2", "rr is not above 0, which has no logarithm: '-1.2'"},
      {"hr=0.5|lower=0|upper=2", "lower is not above 0, which has no logarithm: '0'"},
      {"or=2|rr=2|p=0.1", "or and rr are both given: give one ratio a row"},
      {"or=2", "no source: give lower and upper, or p, beside or"},
      {"or=2|lower=1", "lower is given without upper: '1'"},
      {"or=2|upper=3", "upper is given without lower: '3'"},
      {"or=2|lower=3|upper=1", "upper '1' is below lower '3'"},
      {"or=2|lower=2|upper=2", "upper '2' equals lower '2'"},
      {"or=5|lower=1|upper=3", "or '5' lies outside the interval from lower '1' to upper '3'"},
      {"or=2|p=1", "p is not between 0 and 1: '1'"},
      {"or=1.00|p=0.4", "or '1.00' with p '0.4' contradicts itself: a ratio of 1 gives p = 1"},
      {"or=2|lower=1|upper=3|level=0.95", "level is 0.95: give it as a percentage, such as 95"},
      {"or=2|n1=10|n2=10|se=1",
       "or and se do not go together: a row is one kind (se or an "
       "interval with n, a median set with n, two groups with n1 and n2, "
       "or subgroups)"},
  };
  for (const auto& [cells, refusal] : rows) {
    SCOPED_TRACE(cells);
    const RowResult r = Convert(cells);
    EXPECT_EQ(r.refusal, refusal);
    EXPECT_FALSE(r.log_ratio || r.se_log_ratio || r.sd);
  }
}

TEST(RatioRows, WorkingText) {
  EXPECT_EQ(Convert("hr=0.8|lower=0.7|upper=0.9|level=90", true).working,
            "Ratio measures on the log scale (Cochrane Handbook 6.3.2):\r\n"
            "ln(HR) = ln(0.8) = -0.22314355131421\r\n"
            "SE = (ln(upper) - ln(lower)) / (2 * z) = (ln(0.9) - ln(0.7)) / (2 * "
            "1.64485362695147) = 0.251314428280906 / 3.28970725390295 = 0.0763941618156886\r\n"
            "with z the standard normal quantile of the 90% level\r\n"
            "\r\n"
            "Therefore, ln(HR) = -0.22314355131421, its SE = 0.0763941618156886 and its variance "
            "= 0.00583606795952161");
  EXPECT_EQ(Convert("or=0,64|p=0,17", true, ',').working,
            "Ratio measures on the log scale (Cochrane Handbook 6.3.2):\r\n"
            "ln(OR) = ln(0,64) = -0,446287102628419\r\n"
            "z = the normal quantile at 1 - p/2 = z(1 - 0,17/2) = 1,37220380899873\r\n"
            "SE = |ln(OR)| / z = |-0,446287102628419| / 1,37220380899873 = 0,32523383166679\r\n"
            "\r\n"
            "Therefore, ln(OR) = -0,446287102628419, its SE = 0,32523383166679 and its variance = "
            "0,105777045260662");
}

// Student's quantiles from mpmath's regularized incomplete beta, at 50 digits.
TEST(PairedRows, AgreeWithAnIndependentComputation) {
  struct Row {
    std::string cells, method;
    std::optional<double> sd, critical_value, sd_z, sd_t, gap, sd_within;
    std::string warning;
  };
  constexpr std::nullopt_t kNo = std::nullopt;
  const std::string kBelow60 =
      "n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; see sd_t";
  // clang-format off
  const Row rows[] = {
      {"n=20|md=3.1|t=2.4", "paired t statistic", 5.7765089418744567157, kNo, kNo, kNo, kNo, kNo, ""},
      {"n=20|md=3.1|p=0.02", "paired p", 5.4592294651465446375, 2.5394831906239626207, kNo, kNo, kNo, kNo, ""},
      {"n=12|md=-1.5|p=0.0001", "paired p", 0.87755143306031371808, 5.921194162473098765, kNo, kNo, kNo, kNo, ""},
      {"n=20|md=3|se=0.8|corr=0.5", "paired se", 3.5777087639996635143, kNo, kNo, kNo, kNo, 3.5777087639996635143, ""},
      {"n=20|md=3|se=0.8|corr=-0.3", "paired se", 3.5777087639996635143, kNo, kNo, kNo, kNo, 2.2188007849009164881, ""},
      {"n=20|md=3|lower=1|upper=5", "paired t", 4.2733727264915126265, 2.0930240544083097692, 4.5634878908747477379, 4.2733727264915126265, 6.7889038226118634134, kNo, ""},
      {"n=100|md=3|lower=1|upper=5|corr=0.7", "paired t", 10.079542957240455339, 1.9842169515864174951, kNo, 10.079542957240455339, kNo, 13.012634003591513684, ""},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    const RowResult r = Convert(row.cells);
    EXPECT_EQ(r.refusal, "");
    EXPECT_EQ(r.method, row.method);
    EXPECT_EQ(r.warning, row.warning);
    ExpectNear(r.sd, row.sd, 1e-13, "sd");
    ExpectNear(r.critical_value, row.critical_value, 1e-13, "critical_value");
    if (row.sd_z) ExpectNear(r.sd_z, row.sd_z, 1e-13, "sd_z");
    ExpectNear(r.sd_t, row.sd_t, 1e-13, "sd_t");
    if (row.gap) ExpectNear(r.z_t_gap_percent, row.gap, 1e-11, "gap");
    ExpectNear(r.sd_within, row.sd_within, 1e-13, "sd_within");
  }
  // z side by side with t, and warned of below 60.
  CriticalValueCache cache;
  const Cells cells("n=30|md=2|ci=1.2|level=90");
  const RowResult z = ConvertRow(cells.cells, RowSettings{Method::Z, 95, '.', false}, cache);
  EXPECT_EQ(z.method, "paired z");
  EXPECT_EQ(z.warning, kBelow60);
  ExpectNear(z.sd, 3.9959000499294297039, 1e-13, "sd");
  ExpectNear(z.sd_t, 3.8682632830997554865, 1e-13, "sd_t");
  ExpectNear(z.z_t_gap_percent, 3.2995884066969465631, 1e-11, "gap");
}

TEST(PairedRows, Refusals) {
  const std::string kOne = "give only one of se, ci, lower and upper, md with t, or md with p";
  const std::pair<std::string, std::string> rows[] = {
      {"n=20|md=3", "no source: " + kOne},
      {"n=1|md=3|t=2", "n is 1: a single observation has no standard deviation"},
      {"n=20|t=2", "t is given without md"},
      {"n=20|md=3|t=2|se=1", "more than one source: se and t are given; " + kOne},
      {"n=20|md=0|p=0.3",
       "md '0' with p '0.3' contradicts itself: a difference of 0 gives t = 0 "
       "and p = 1"},
      {"n=20|md=3|se=1|corr=1.2", "corr is not between -1 and 1: '1.2'"},
      {"n=20|md=3|se=1|corr=1",
       "corr '1' is 1: the periods would not differ, and the SD of each has no estimate"},
      {"n=20|n1=10|md=3|t=2",
       "n1 and n do not go together: a row is one kind (se or an interval "
       "with n, a median set with n, two groups with n1 and n2, or "
       "subgroups)"},
  };
  for (const auto& [cells, refusal] : rows) {
    SCOPED_TRACE(cells);
    const RowResult r = Convert(cells);
    EXPECT_EQ(r.refusal, refusal);
    EXPECT_FALSE(r.sd || r.sd_within);
  }
}

TEST(PairedRows, WorkingText) {
  EXPECT_EQ(Convert("n=20|md=3|se=0.8|corr=0.5", true).working,
            "A paired difference: Degrees of freedom = N - 1 = 20 - 1 = 19\r\n"
            "\r\n"
            "Standard Error of the difference = 0.8\r\n"
            "\r\n"
            "The Standard Deviation of the differences = Standard Error * sqrt(N)\r\n"
            "sqrt(N) = sqrt(20) = 4.47213595499958\r\n"
            "Which computes to 0.8 * 4.47213595499958\r\n"
            "\r\n"
            "Therefore, the SD = 3.57770876399966\r\n"
            "\r\n"
            "The SD of each period (Cochrane Handbook 23.2.7):\r\n"
            "SD_within = SD_diff / sqrt(2 * (1 - r)) = 3.57770876399966 / sqrt(2 * (1 - 0.5)) = "
            "3.57770876399966 / 1 = 3.57770876399966");
}

RowResult ConvertChange(const std::string& listed, CorrImputation corr,
                        std::optional<double> imputed, std::uint64_t rows = 0) {
  CriticalValueCache cache;
  const Cells cells(listed);
  RowSettings settings{Method::T, 95, '.', false};
  settings.corr = corr;
  settings.imputed_corr = imputed;
  settings.corr_rows = rows;
  return ConvertRow(cells.cells, settings, cache);
}

TEST(ChangeRows, AgreeWithAnIndependentComputation) {
  struct Row {
    std::string cells, method;
    double sd;
    std::optional<double> corr;
    std::string warning;
  };
  // clang-format off
  const Row rows[] = {
      {"sd_baseline=4|sd_final=5|corr=0.6", "change from correlation", 4.1231056256176605498, std::nullopt, ""},
      {"n=40|sd_baseline=12.5|sd_final=11.2|corr=-0.3", "change from correlation", 19.123022773609824889, std::nullopt, ""},
      {"sd_baseline=4|sd_final=5|sd_change=3.5", "correlation", 3.5, 0.71875, ""},
      {"sd_baseline=12.5|sd_final=11.2|sd_change=9.1", "correlation", 9.1, 0.71028571428571428571, ""},
      {"sd_baseline=6|sd_final=6.5|sd_change=4|corr=0.5", "correlation", 4, 0.79807692307692307692,
       "corr '0.5' and the three SDs disagree: they give 0.798076923076923"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    const RowResult r = Convert(row.cells);
    EXPECT_EQ(r.refusal, "");
    EXPECT_EQ(r.method, row.method);
    EXPECT_EQ(r.warning, row.warning);
    ExpectNear(r.sd, row.sd, 1e-14, "sd");
    ExpectNear(r.corr_estimated, row.corr, 1e-14, "corr_estimated");
  }
}

TEST(ChangeRows, ACorrelationIsImputedOnlyWhenAsked) {
  const std::string cells = "sd_baseline=4|sd_final=5";
  const RowResult value = ConvertChange(cells, CorrImputation::Value, 0.5);
  EXPECT_EQ(value.method, "change from imputed correlation");
  ExpectNear(value.sd, 4.582575694955840007, 1e-14, "sd");
  EXPECT_EQ(value.warning, "imputed correlation 0.5: consider a sensitivity analysis");
  // The mean of 0.71875 and 0.79807692307692 through Fisher's z.
  const RowResult table = ConvertChange(cells, CorrImputation::Table, 0.76124691135057010234, 2);
  ExpectNear(table.sd, 3.2480953720568606337, 1e-14, "sd");
  EXPECT_EQ(table.warning,
            "imputed correlation 0.761, the mean of 2 rows' correlations through Fisher's z: "
            "consider a sensitivity analysis");
  EXPECT_EQ(ConvertChange(cells, CorrImputation::None, std::nullopt).refusal,
            "sd_baseline and sd_final are given without corr or sd_change: give one, or impute a "
            "correlation with --corr");
  EXPECT_EQ(ConvertChange(cells, CorrImputation::Table, std::nullopt).refusal,
            "no row of the table gives a correlation to impute: --corr table takes those of the "
            "rows with sd_baseline, sd_final and sd_change");
  // A row's own corr is never replaced.
  EXPECT_EQ(ConvertChange(cells + "|corr=0.6", CorrImputation::Value, 0.5).method,
            "change from correlation");
}

// The table's mean correlation is that of Fisher's z, as RunBatch gathers
// it for --corr table.
TEST(ChangeRows, TheTablesCorrelationsAreAveragedThroughFishersZ) {
  std::string output;
  const BatchSummary summary =
      RunOver("sd_baseline,sd_final,sd_change\n4,5,\n4,5,3.5\n6,6.5,4\n4,5,10\n", {}, output);
  EXPECT_EQ(summary.correlations, 2u);
  ExpectNear(MeanCorrelation(summary), 0.76124691135057010234, 1e-14, "mean correlation");
  EXPECT_EQ(MeanCorrelation(BatchSummary{}), std::nullopt);
}

TEST(ChangeRows, Refusals) {
  const std::pair<std::string, std::string> rows[] = {
      {"sd_final=5|corr=0.5",
       "sd_baseline is empty: a change from baseline takes sd_baseline and "
       "sd_final, with corr or sd_change"},
      {"sd_baseline=0|sd_final=5|corr=0.5", "sd_baseline is not above 0: '0'"},
      {"sd_baseline=4|sd_final=5|sd_change=-1", "sd_change is negative: '-1'"},
      {"sd_baseline=4|sd_final=5|corr=-1.01", "corr is not between -1 and 1: '-1.01'"},
      {"sd_baseline=4|sd_final=5|sd_change=10",
       "sd_baseline '4', sd_final '5' and sd_change '10' contradict each other: they give a "
       "correlation of -1.475, outside -1 to 1"},
      {"sd_baseline=4|sd_final=5|sd_change=0.5",
       "sd_baseline '4', sd_final '5' and sd_change '0.5' contradict each other: they give a "
       "correlation of 1.01875, outside -1 to 1"},
      {"sd_baseline=4|sd_final=4|corr=1",
       "sd_baseline '4' and sd_final '4' are equal with a correlation of 1: the change has no "
       "spread, which gives an SD of 0 and the study infinite weight"},
      {"n=20|se=1|corr=0.5",
       "corr and se do not go together: a row is one kind (se or an "
       "interval with n, a median set with n, two groups with n1 and n2, or "
       "subgroups)"},
  };
  for (const auto& [cells, refusal] : rows) {
    SCOPED_TRACE(cells);
    const RowResult r = Convert(cells);
    EXPECT_EQ(r.refusal, refusal);
    EXPECT_FALSE(r.sd || r.corr_estimated);
  }
}

TEST(ChangeRows, WorkingTexts) {
  EXPECT_EQ(Convert("sd_baseline=4|sd_final=5|corr=0,6", true, ',').working,
            "Change from baseline (Cochrane Handbook 6.5.2.8):\r\n"
            "r = 0,6, as given\r\n"
            "SD_change = sqrt(SD_baseline^2 + SD_final^2 - 2 * r * SD_baseline * SD_final)\r\n"
            "Which computes to sqrt(4^2 + 5^2 - 2 * 0,6 * 4 * 5)\r\n"
            "\r\n"
            "Therefore, the SD = 4,12310562561766");
  EXPECT_EQ(Convert("sd_baseline=4|sd_final=5|sd_change=3.5", true).working,
            "Change from baseline (Cochrane Handbook 6.5.2.8):\r\n"
            "r = (SD_baseline^2 + SD_final^2 - SD_change^2) / (2 * SD_baseline * SD_final)\r\n"
            "Which computes to (4^2 + 5^2 - 3.5^2) / (2 * 4 * 5) = 0.71875\r\n"
            "\r\n"
            "Therefore, the correlation = 0.71875, and the SD of the change is the given 3.5");
}

}  // namespace
}  // namespace kelmory::batch
