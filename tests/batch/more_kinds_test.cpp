// The rows beyond medians and two groups against independent computations:
// a mean with a range or quartiles (Wan et al. 2014, Shi et al. 2020), with
// expected values from mpmath at 50 digits, every refusal and the working
// text.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "rows/row_rules.h"
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

}  // namespace
}  // namespace kelmory::batch
