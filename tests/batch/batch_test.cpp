// kelmory-batch against its rules: the published quantiles, the row rules as
// a table, the window's working texts, the golden files byte for byte, and
// the inputs that stop a run.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/critical_values.h"
#include "engine/sd_deriver.h"
#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "tests/batch/listed_cells.h"
#include "tests/engine/critical_reference.h"

namespace kelmory::batch {
namespace {

constexpr double kNone = -1;  // no value in the cell

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

RowResult Convert(const std::string& listed, Method method = Method::T, char decimal = '.',
                  bool working = false) {
  CriticalValueCache cache;
  const Cells cells(listed);
  return ConvertRow(cells.cells, RowSettings{method, 95, decimal, working}, cache);
}

// Each reference value of critical_reference.h, for every level through
// the functions, the cache (twice: a second look must give the same) and, as
// a double, through its shortest decimal.
TEST(CriticalValues, AreCorrectlyRoundedForTheLevelAsWritten) {
  int checked = 0;
  for (const auto& reference : testing::ReadCriticalReferences(KELMORY_TEST_DIR)) {
    SCOPED_TRACE(reference.line);
    const std::optional<ExactDecimal> decimal = ReadExactDecimal(reference.text, '.');
    ASSERT_TRUE(decimal);
    const double as_double = std::stod(reference.text);
    const double df = reference.df;
    std::vector<std::optional<double>> values;
    if (reference.kind == "p") {
      values = {StudentTwoSidedP(*decimal, df), StudentTwoSidedP(as_double, df)};
    } else {
      CriticalValueCache cache;
      for (int pass = 0; pass < 2; ++pass)
        values.push_back(df ? cache.student(*decimal, df) : cache.normal(*decimal));
      values.push_back(df ? StudentCritical(*decimal, df) : NormalCritical(*decimal));
      values.push_back(df ? StudentCritical(as_double, df) : NormalCritical(as_double));
    }
    for (const auto& value : values) {
      ASSERT_TRUE(value);
      EXPECT_EQ(*value, reference.value)
          << std::setprecision(17) << *value << " vs " << reference.value;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 320);
  for (const double level : {0.0, 100.0, -5.0, std::nan("")}) {
    EXPECT_FALSE(NormalCritical(level)) << level;
    EXPECT_FALSE(StudentCritical(level, 5)) << level;
  }
  for (const std::string_view level : {"0", "100", "-5", "100.0000001", "1e-401"}) {
    EXPECT_FALSE(NormalCritical(*ReadExactDecimal(level, '.'))) << level;
    EXPECT_FALSE(StudentCritical(*ReadExactDecimal(level, '.'), 5)) << level;
  }
  EXPECT_FALSE(StudentCritical(95, 0));
  EXPECT_FALSE(StudentTwoSidedP(*ReadExactDecimal("1", '.'), 5));
}

// Equal levels in any writing are one decimal, so the cache shares them;
// a double is its shortest decimal; texts that are not numbers are nothing.
TEST(CriticalValues, DecimalsAsWritten) {
  const ExactDecimal level{"999", -1, false};
  for (const std::string_view text : {"99.9", " 99.90 % ", "+0999e-1", "9.99E1", "99.900000"})
    EXPECT_EQ(ReadExactDecimal(text, '.', true), level) << text;
  EXPECT_EQ(ReadExactDecimal("99,9", ','), level);
  EXPECT_EQ(ReadExactDecimal("-0.0050", '.'), (ExactDecimal{"5", -3, true}));
  EXPECT_EQ(ReadExactDecimal("000", '.'), (ExactDecimal{"", 0, false}));
  for (const std::string_view text : {"", ".", "99.9%", "9 9", "1e", "1e+", "1.2.3", "99,9", "--1"})
    EXPECT_FALSE(ReadExactDecimal(text, '.')) << text;
  const std::pair<double, ExactDecimal> shortest[] = {
      {99.9, level},
      {95, {"95", 0, false}},
      {0.1 + 0.2, {"30000000000000004", -17, false}},
      {-1e300, {"1", 300, true}},
      {1e-5, {"1", -5, false}},
      {2.0 / 3, {"6666666666666666", -16, false}},
      {1e23, {"1", 23, false}},
      {123456789.125, {"123456789125", -3, false}},
  };
  for (const auto& [value, decimal] : shortest)
    EXPECT_EQ(ShortestDecimal(value), decimal) << std::setprecision(17) << value;
}

// A level as typed, in a cell, as --level's text or as a level box's double,
// gets the quantiles of its decimal value (critical_reference.csv), not of
// the double nearest it, which are 36 to 318 units in the last place off.
TEST(ConvertRow, LevelsAsTyped) {
  const double t29 = 3.659405019466333, z = 3.290526731491895;
  struct Row {
    std::string cells;
    Level level;
    Method method;
    double critical;
  };
  const Row rows[] = {
      {"n=30|ci=1|level=99.9", 95, Method::T, t29},
      {"n=30|ci=1|level=99.900 %", 95, Method::T, t29},
      {"n=30|ci=1", *Level::Read("99.9", '.'), Method::T, t29},
      {"n=30|ci=1", *Level::Read(" 99,9% ", ','), Method::T, t29},
      {"n=30|ci=1", 99.9, Method::T, t29},
      {"n=30|ci=1", 99.9, Method::Z, z},
      {"n1=15|n2=16|ci=1|level=99.9", 95, Method::T, t29},
  };
  CriticalValueCache cache;  // shared: equal levels meet in it
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    const Cells cells(row.cells);
    const RowResult r = ConvertRow(cells.cells, RowSettings{row.method, row.level}, cache);
    ASSERT_TRUE(r.critical_value) << r.refusal;
    EXPECT_EQ(*r.critical_value, row.critical) << std::setprecision(17) << *r.critical_value;
  }
}

TEST(ConvertRow, RowRules) {
  struct Row {
    std::string cells;
    Method method;
    char decimal;
    std::string method_text;
    double sd;  // exact for se and user rows, else within 1e-12 (from R)
    std::string warning, refusal;
  };
  const std::string kSmall =
      "n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; see sd_t";
  const std::string kMore = "; give only one of se, ci, or lower and upper";
  const std::string kOne = "n is 1: a single observation has no standard deviation";
  const auto T = Method::T, Z = Method::Z;
  // clang-format off
  const Row rows[] = {
      {"n=25|se=2", T, '.', "se", 10, "", ""},
      {"n=1e1|se=+2.5E-1", T, '.', "se", std::sqrt(10.0) * 0.25, "", ""},
      {"n= 4 |se= 2 ", T, '.', "se", 4, "", ""},
      {"n=10|se=1,5", T, ',', "se", std::sqrt(10.0) * 1.5, "", ""},
      {"n=10|se=0e-400", T, '.', "", kNone, "", "se is 0: '0e-400', which gives an SD of 0 and the study infinite weight"},
      {"n=10|ci=0", Z, '.', "", kNone, "", "ci is 0: '0', which gives an SD of 0 and the study infinite weight"},
      {"n=10|lower=3|upper= 3.0 |mean=3", T, '.', "", kNone, "", "upper '3.0' equals lower '3', an interval of no width, which gives an SD of 0 and the study infinite weight"},
      {"n=10|ci=5e-324", T, '.', "", kNone, "", "sd comes out as 0, narrower than a double holds, which gives the study infinite weight"},
      {"n=10|se=1e-400", T, '.', "", kNone, "", "se is beyond the double range: '1e-400'"},
      {"n=10|ci=2|z=1e-400", T, '.', "", kNone, "", "z is beyond the double range: '1e-400'"},
      {"n=2.5e1|se=2", T, '.', "se", 10, "", ""},
      {"n=25,0|se=2", T, ',', "se", 10, "", ""},
      {"n=9007199254740992|se=1", T, '.', "se", std::sqrt(9007199254740992.0), "", ""},
      {"n=25.0000000000000001|se=1", T, '.', "", kNone, "", "n is not a whole number of at least 1: '25.0000000000000001'"},
      {"n=2.55e1|se=1", T, '.', "", kNone, "", "n is not a whole number of at least 1: '2.55e1'"},
      {"n=9007199254740993|se=1", T, '.', "", kNone, "", "n is too large to be held exactly: '9007199254740993'"},
      {"n=1e16|se=1", T, '.', "", kNone, "", "n is too large to be held exactly: '1e16'"},
      {"n=10|ci=2|level=0.95", T, '.', "", kNone, "", "level is 0.95: give it as a percentage, such as 95"},
      {"n=10|ci=2|level= 0.5 % ", T, '.', "", kNone, "", "level is 0.5 %: give it as a percentage, such as 95"},
      {"n=10|se=0.9|ci=2", T, '.', "se", std::sqrt(10.0) * 0.9, "", ""},
      {"n=10|se=1|ci=2", T, '.', "se", std::sqrt(10.0), "se and the interval disagree: they give SDs of 3.16227766016838 and 2.79580721637993", ""},
      {"n=10|se=1|lower=1|upper=2", T, '.', "se", std::sqrt(10.0), "se and the interval disagree: they give SDs of 3.16227766016838 and 0.698951804094981", ""},
      {"n=1|se=1|ci=2", T, '.', "", kNone, "", kOne},
      {"n=1|se=2", Z, '.', "", kNone, "", kOne},
      {"n=10|se=" + std::string(50, 'x'), T, '.', "", kNone, "", "se is not a number: '" + std::string(40, 'x') + "\u2026'"},
      {"n=10|se=1|mean=" + std::string(20, 'a') + "\u00e4\u00e4" + std::string(20, 'b'), T, '.', "", kNone, "", "mean is not a number: '" + std::string(20, 'a') + "\u00e4\u00e4" + std::string(18, 'b') + "\u2026'"},
      {"n=10|ci=3.92", T, '.', "t", 5.4797821441046537, "", ""},
      {"n=10|ci=3.92", Z, '.', "z", 6.3246715376604525, kSmall, ""},
      {"n=59|ci=3.92", Z, '.', "z", std::sqrt(59.0) * 2.0000367511446362, kSmall, ""},
      {"n=60|ci=3.92", Z, '.', "z", std::sqrt(60.0) * 2.0000367511446362, "", ""},
      {"n=10|lower=1|upper=5|level=90%", T, '.', "t", 3.4501722221621591, "", ""},
      {"n=10|lower=1|upper=5|level= 90 % ", Z, '.', "z", 3.8450566158026618, kSmall, ""},
      {"n=30|ci=1.5|level=97.5", T, '.', "t", 3.47562324624065466, "", ""},
      {"n=20|ci=5|z=2.09", T, '.', "user", 10.698889844496602, "", ""},
      {"n=1|ci=2|z=2", T, '.', "", kNone, "", kOne},
      {"n=1|ci=2", Z, '.', "", kNone, "", kOne},
      {"n=1e0|lower=1|upper=3", T, '.', "", kNone, "", kOne},
      {"n=10|lower=1|upper=5|mean=3.1", T, '.', "t", 2.795807216379925, "", ""},
      {"n=10|lower=1|upper=5|mean=3.5", T, '.', "t", 2.795807216379925, "asymmetric interval: its halves differ by 25.0% of its width; it may have been computed on a log scale", ""},
      {"n=10|lower=1|upper=5|mean=3.3", T, '.', "t", 2.795807216379925, "asymmetric interval: its halves differ by 15.0% of its width; it may have been computed on a log scale", ""},
      // Beside its threshold of 10 %, a figure shows the digits that tell
      // them apart; exactly 10 % as typed is not more than 10 %.
      {"n=10|lower=1|upper=5|mean=3.2004", T, '.', "t", 2.795807216379925, "asymmetric interval: its halves differ by 10.02% of its width; it may have been computed on a log scale", ""},
      {"n=10|lower=1|upper=5|mean=3.2", T, '.', "t", 2.795807216379925, "", ""},
      {"n=10|lower=1|upper=5|mean=5.5", T, '.', "", kNone, "", "mean '5.5' lies outside the interval from lower '1' to upper '5'"},
      {"n=10|lower=1|upper=5|mean= 0.5", T, '.', "", kNone, "", "mean '0.5' lies outside the interval from lower '1' to upper '5'"},
      {"se=1", T, '.', "", kNone, "", "n is empty"},
      {"n=2.5|se=1", T, '.', "", kNone, "", "n is not a whole number of at least 1: '2.5'"},
      {"n=0|se=1", T, '.', "", kNone, "", "n is not a whole number of at least 1: '0'"},
      {"n=10|se=-1", T, '.', "", kNone, "", "se is negative: '-1'"},
      {"n=10|ci=-0.5", T, '.', "", kNone, "", "ci is negative: '-0.5'"},
      {"n=10|ci=2|level=100", T, '.', "", kNone, "", "level is not between 0 and 100: '100'"},
      {"n=10|ci=2|z=0", T, '.', "", kNone, "", "z is not greater than 0: '0'"},
      {"n=10|ci=2|level=1e-300", T, '.', "", kNone, "", "level is 1e-300: give it as a percentage, such as 95"},
      {"n=10|lower=1", T, '.', "", kNone, "", "lower is given without upper: '1'"},
      {"n=10|upper=1", T, '.', "", kNone, "", "upper is given without lower: '1'"},
      {"n=10|se= |ci=", T, '.', "", kNone, "", "no source: give se, ci, or lower and upper"},
      {"n=10|ci=1|lower=1|upper=2", T, '.', "", kNone, "", "more than one source: ci, lower and upper are given" + kMore},
      {"n=10|se=1|ci=1|lower=1|upper=2", T, '.', "", kNone, "", "more than one source: se, ci, lower and upper are given" + kMore},
      {"n=10|lower=5|upper=1", T, '.', "", kNone, "", "upper '1' is below lower '5'"},
      {"n=10|se=1,5", T, '.', "", kNone, "", "se is not a number: '1,5' (a decimal comma? write it 1.5)"},
      {"n=10|se=1.5", T, ',', "", kNone, "", "se is not a number: '1.5' (a decimal point? write it 1,5)"},
      {"n=10|ci=2|level=97,5%", T, '.', "", kNone, "", "level is not a number: '97,5%' (a decimal comma? write it 97.5%)"},
      // Grouped digits read two ways: neither is taken.
      {"n=1,024|se=1", T, '.', "", kNone, "", "n is not a number: '1,024' (ambiguous: ',' groups digits or marks decimals; write 1024 without grouping, or 1.024 for a decimal)"},
      {"n=2.000|se=1", T, ',', "", kNone, "", "n is not a number: '2.000' (ambiguous: '.' groups digits or marks decimals; write 2000 without grouping, or 2,000 for a decimal)"},
      {"n=10|se=1.234,5", T, ',', "", kNone, "", "se is not a number: '1.234,5' (digit grouping: write it without the '.', as 1234,5)"},
      {"n=10|se=-12,345.6", T, '.', "", kNone, "", "se is not a number: '-12,345.6' (digit grouping: write it without the ',', as -12345.6)"},
      {"n=10|se=1,0245", T, '.', "", kNone, "", "se is not a number: '1,0245' (a decimal comma? write it 1.0245)"},
      {"n=10|se=1,2,3", T, '.', "", kNone, "", "se is not a number: '1,2,3'"},
      {"n=10|se=1 000", T, '.', "", kNone, "", "se is not a number: '1 000'"},
      {"n=10|se=inf", T, '.', "", kNone, "", "se is not a number: 'inf'"},
      {"n=10|se=1e", T, '.', "", kNone, "", "se is not a number: '1e'"},
      {"n=10|se=1|level=abc", T, '.', "", kNone, "", "level is not a number: 'abc'"},
      {"n=10|se=1|mean=5%", T, '.', "", kNone, "", "mean is not a number: '5%'"},
      {"n=10|se=1e400", T, '.', "", kNone, "", "se is beyond the double range: '1e400'"},
      {"n=10|se=1e308", T, '.', "", kNone, "", "sd is too large to be computed"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    const RowResult r = Convert(row.cells, row.method, row.decimal);
    EXPECT_EQ(r.method, row.method_text);
    EXPECT_EQ(r.warning, row.warning);
    EXPECT_EQ(r.refusal, row.refusal);
    if (row.sd == kNone) {
      EXPECT_FALSE(r.sd || r.critical_value || r.df || r.sd_z || r.sd_t || r.z_t_gap_percent);
      continue;
    }
    ASSERT_TRUE(r.sd);
    if (row.method_text == "se" || row.method_text == "user") {
      EXPECT_EQ(*r.sd, row.sd);
    } else {
      EXPECT_NEAR(*r.sd, row.sd, row.sd * 1e-12);
    }
    // The chosen SD is one of the two side-by-side figures, bit for bit.
    if (row.method_text == "t") EXPECT_EQ(r.sd, r.sd_t);
    if (row.method_text == "z") EXPECT_EQ(r.sd, r.sd_z);
    if (r.sd_t) EXPECT_EQ(*r.df, std::stod(Cells(row.cells).texts[kN]) - 1);
  }
}

// Working texts whole: the window's wording for se and user-z rows, and the
// t wording with its degrees of freedom.
TEST(ConvertRow, WorkingTextIsTheWindows) {
  const std::string ci_head =
      "Standard Error = Confidence Error / z-value equivalence of confidence interval\r\n\r\n";
  const std::string sd_line =
      "\r\n\r\nThe estimated Standard Deviation = sqrt(N) * Standard Error\r\n\r\n";
  const std::string user = "Applying a user specified value of ";
  const std::string as_z =
      " as the z-value or t-value equivalent of the confidence interval, the estimated standard "
      "error computes as (approximately): ";
  struct Row {
    std::string cells;
    char decimal;
    std::string working;
  };
  // clang-format off
  const Row rows[] = {
      {"n=30|se=1.5", '.', "Standard Deviation = sqrt(N) * Standard Error\r\nWhich computes to 5.47722557505166 * 1.5\r\n\r\nTherefore, the SD = 8.21583836257749"},
      {"n=20|ci=5|z=2.09", '.', ci_head + user + "2.09" + as_z + "2.39234" + sd_line + "Which computes to 4.47213595499958 * 2.39234449760766\r\n\r\nTherefore, the SD = 10.6988898444966"},
      {"n=20|ci=1,0|z=2,576", ',', ci_head + user + "2,576" + as_z + "0,3882" + sd_line + "Which computes to 4,47213595499958 * 0,388198757763975\r\n\r\nTherefore, the SD = 1,73607762228245"},
      // The ci is t(97.5%, 9) itself, so the SE is 1.
      {"n=10|ci=2.2621571627982053", '.', "Standard Error = Confidence Error / t-value with N-1 degrees of freedom\r\n\r\nApplying Student's t distribution (a t-value of 2.26215716279821 with 9 degrees of freedom for the entered 95% confidence interval), the estimated standard error computes as (approximately): 1" + sd_line + "Which computes to 3.16227766016838 * 1\r\n\r\nTherefore, the SD = 3.16227766016838"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cells);
    EXPECT_EQ(Convert(row.cells, Method::T, row.decimal, true).working, row.working);
  }
}

TEST(RunBatch, GoldenFilesByteForByte) {
  struct Pair {
    std::string input;
    BatchOptions options;
  };
  const Pair pairs[] = {
      {"review", {Method::T, 95, {}, {}, true}},
      {"review-semicolon", {Method::Z, 95, {}, {}, false}},
      {"review-utf16", {}},
      {"review-sep", {}},
      // One file a kind of row, and one with every kind in a single pass.
      {"medians", {Method::T, 95, {}, {}, true}},
      {"means", {Method::T, 95, {}, {}, true}},
      {"ratios", {Method::T, 95, {}, {}, true}},
      {"paired", {Method::Z, 95, {}, {}, false}},
      {"change", {Method::T, 95, {}, {}, true, CorrImputation::Value, 0.5}},
      {"skewed", {Method::T, 95, {}, {}, false, {}, {}, 0, MedianMethod::Auto}},
      {"two-groups", {Method::Z, 95, {}, {}, false}},
      {"subgroups", {Method::T, 95, {}, {}, true}},
      {"all-kinds", {Method::T, 95, {}, {}, false}},
      // An extraction sheet with its own method, mean and sd columns.
      {"extraction", {}},
      // Two arms a row, in the column names of each convention.
      {"arms-meta", {}},
      {"arms-metamedian", {}},
      {"arms-metafor", {}},
      {"arms-labels", {}},
      {"arms-calc", {}},
  };
  for (const Pair& pair : pairs) {
    const std::string input = GoldenFile(pair.input + ".csv");
    const std::string expected = GoldenFile(pair.input + ".expected.csv");
    ASSERT_FALSE(input.empty() || expected.empty()) << pair.input;
    // Whole, and a byte at a time: chunk edges must not show.
    for (const std::size_t step : {std::size_t{1} << 16, std::size_t{1}}) {
      SCOPED_TRACE(pair.input + " in steps of " + std::to_string(step));
      std::string output;
      const BatchSummary summary = RunOver(input, pair.options, output, step);
      EXPECT_EQ(summary.status, 1);
      EXPECT_EQ(output, expected);
    }
  }
}

// More distinct numbers than the writer's memo and the quantile cache hold:
// every row's df is its own n - 1, its t falls as n grows and its figures
// follow from it.
TEST(RunBatch, ManyDistinctRowsKeepTheirOwnFigures) {
  std::string input = "n,ci\n";
  for (int n = 2; n <= 5001; ++n) input += std::to_string(n) + ",1\n";
  std::string output;
  ASSERT_EQ(RunOver(input, {}, output).status, 0);
  std::istringstream lines(output);
  std::string line;
  std::getline(lines, line);
  double previous_t = 1e9;
  int n = 2;
  for (; std::getline(lines, line); ++n) {
    SCOPED_TRACE(line);
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    ASSERT_GE(cells.size(), 8u);
    // n, ci, sd, method, critical_value, df, sd_z, sd_t
    EXPECT_EQ(cells[3], "t");
    EXPECT_EQ(cells[5], std::to_string(n - 1));
    const double t = std::stod(cells[4]);
    EXPECT_LT(t, previous_t);
    EXPECT_GT(t, 1.959963984540054);
    previous_t = t;
    EXPECT_NEAR(std::stod(cells[7]), std::sqrt(n) / t, 1e-12);
    EXPECT_EQ(cells[2], cells[7]);
    EXPECT_NEAR(std::stod(cells[6]), std::sqrt(n) / 1.959963984540054, 1e-12);
  }
  EXPECT_EQ(n, 5002);
}

TEST(RunBatch, StatusAndStops) {
  struct Row {
    std::string input;
    int status;
    std::string message;
  };
  const Row rows[] = {
      {"n,se\n4,1\n", 0, ""},
      {"n,se\n4,1\n4,x\n", 1, ""},
      {"n,se\r\n4,\"1\r\n\r\n", 2,
       "line 2: broken CSV: a quoted cell is not closed before the end of the input"},
      {"n,se\n4,1\n4,2\"x\n", 2,
       "line 3: broken CSV: a quote inside an unquoted cell, or text after a closing quote"},
      {"study,se\nA,1\n", 2, "line 1: the header has no column named 'n'"},
      {"n1,n2,se\n5,5,1\n", 0, ""},
      {"N,CI,Z\n4,2,x\n", 1, ""},  // names in any case: z is read, and refused
      {"x,N_2,mean_2,sd_2,n_1,mean_1,sd_1\n,5,1,1,5,2,1\n", 0, ""},
      {"\n\nN ,n\n", 2, "line 3: the header has two columns named 'n'"},
      {"", 2, "the input is empty: it has no header row"},
      {"n,se\r4,1\r\r4,2\"x\r", 2,
       "line 4: broken CSV: a quote inside an unquoted cell, or text after a closing quote"},
      {"sep=;\r\nn,se\r\n", 2, "line 2: the header has no column named 'n'"},
      {std::string("\xFF\xFEn\0\n\0"
                   "4",
                   7),
       2, "the input ends inside a UTF-16 character"},
      {std::string("\xFF\xFEn\0\n\0\0\xDC\n\0", 10), 2, "the input is not valid UTF-16"},
      {"\r\n\r\n", 2, "the input is empty: it has no header row"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    std::string output;
    const BatchSummary summary = RunOver(row.input, {}, output);
    EXPECT_EQ(summary.status, row.status);
    EXPECT_EQ(summary.message, row.message);
  }
}

// What spreadsheets write, each read whole and a byte at a time.
TEST(RunBatch, ReadsWhatSpreadsheetsWrite) {
  const std::string kAdded =
      "sd,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal";
  const std::string kSemi = "sd;method;critical_value;df;sd_z;sd_t;z_t_gap_percent;warning;refusal";
  const std::string kBom = "\xEF\xBB\xBF";
  // "n,se\nÄ,4,1" with study first, in UTF-16 both ways round.
  const std::string le(
      "\xFF\xFEs\0t\0,\0n\0,\0s\0e\0\n\0\xC4\0,\0"
      "4\0,\0"
      "1\0\n\0",
      30);
  const std::string be(
      "\xFE\xFF\0s\0t\0,\0n\0,\0s\0e\0\n\0\xC4\0,\0"
      "4\0,\0"
      "1\0\n",
      30);
  struct Row {
    std::string name, input;
    int status;
    std::string output;
  };
  const Row rows[] = {
      {"CR-only line ends are kept", "n,se\r4,1\r\r4,x\r", 1,
       "n,se," + kAdded + "\r4,1,2,se,,,,,,,\r4,x,,,,,,,,,se is not a number: 'x'\r"},
      {"a BOM after empty lines belongs to the first name", "\n\n" + kBom + "st,n,se\nA,4,1\n", 0,
       "\"" + kBom + "st\",n,se," + kAdded + "\nA,4,1,2,se,,,,,,,\n"},
      {"a BOM at the start stays there", kBom + "\r\nn,se\r\n4,1\r\n", 0,
       kBom + "n,se," + kAdded + "\r\n4,1,2,se,,,,,,,\r\n"},
      {"sep= names the delimiter and is kept", "sep=;\r\nn;se\r\n4;1,5\r\n", 0,
       "sep=;\r\nn;se;" + kSemi + "\r\n4;1,5;3;se;;;;;;;\r\n"},
      {"sep= after a BOM wins over the count of delimiters",
       kBom + "SEP=,\nn,se,a;b;c;d\n4,1,x;y\n", 0,
       kBom + "sep=,\nn,se,a;b;c;d," + kAdded + "\n4,1,x;y,2,se,,,,,,,\n"},
      {"cells past the header are carried after the added ones", "n,se\n4,1,,x,\"y,z\"\n4,1,,\n", 1,
       "n,se," + kAdded +
           "\n4,1,,,,,,,,,the row has 2 filled cells past the header's last column,,x,\"y,z\"\n" +
           "4,1,2,se,,,,,,,,,\n"},
      {"rows of blanks and delimiters are carried through", "n,se\n,\n , \n,,,\n4,1\n", 0,
       "n,se," + kAdded + "\n,,,,,,,,,,\n , ,,,,,,,,,\n,,,,,,,,,,,,\n4,1,2,se,,,,,,,\n"},
      {"UTF-16 little-endian", le, 0, kBom + "st,n,se," + kAdded + "\n\xC3\x84,4,1,2,se,,,,,,,\n"},
      {"UTF-16 big-endian", be, 0, kBom + "st,n,se," + kAdded + "\n\xC3\x84,4,1,2,se,,,,,,,\n"},
  };
  for (const Row& row : rows) {
    for (const std::size_t step : {std::size_t{1} << 16, std::size_t{1}}) {
      SCOPED_TRACE(row.name + " in steps of " + std::to_string(step));
      std::string output;
      const BatchSummary summary = RunOver(row.input, {}, output, step);
      EXPECT_EQ(summary.message, "");
      EXPECT_EQ(summary.status, row.status);
      EXPECT_EQ(output, row.output);
    }
  }
}

// Inputs that never end, or end nowhere near a line end, stop at a limit
// with the line named; the run in a child process must stay under 30 MB.
TEST(RunBatch, EndlessInputStopsAtTheLimit) {
  struct Row {
    std::string name, start;
    char repeated;
    std::string message;
  };
  const Row rows[] = {
      {"one long cell after the header", "n,se\n", 'x', "line 2: a cell is longer than 1 MiB"},
      {"one long header cell", "", 'x', "line 1: the header line is longer than 1 MiB"},
      {"NUL bytes after the header", "n,se\n", '\0',
       "the input is not a text file: it holds NUL bytes"},
      {"NUL bytes from the start", "", '\0', "the input is not a text file: it holds NUL bytes"},
      {"an unclosed quote", "n,se\n4,1\n\n4,\"", 'x', "line 4: a cell is longer than 1 MiB"},
      {"delimiters", "n,se\n4,1\n4", ',', "line 3: the row is longer than 2 MiB"},
      {"empty lines", "", '\n',
       "line 1048577: no header line in the first 1 MiB, only empty lines"},
      {"CR-only empty lines", "", '\r',
       "line 1048576: no header line in the first 1 MiB, only empty lines"},
  };
#if defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "WebAssembly has no child processes to measure";
#endif
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipe_fds[0]);
      std::uint64_t given = 0;
      const BatchSummary summary = RunBatch(
          [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
            std::size_t n = 0;
            for (; n < size && given < row.start.size(); ++n) buffer[n] = row.start[given++];
            std::fill(buffer + n, buffer + size, row.repeated);
            given += size - n;
            return static_cast<std::ptrdiff_t>(size);
          },
          [](std::string_view) { return true; }, {});
      const std::string report =
          std::to_string(summary.status) + " " + std::to_string(given) + " " + summary.message;
      [[maybe_unused]] const auto written = ::write(pipe_fds[1], report.data(), report.size());
      ::_exit(0);
    }
    ::close(pipe_fds[1]);
    std::string report(4096, '\0');
    report.resize(std::max<ssize_t>(0, ::read(pipe_fds[0], report.data(), report.size())));
    ::close(pipe_fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    std::istringstream fields(report);
    int run_status = 0;
    std::uint64_t given = 0;
    fields >> run_status >> given;
    std::string message;
    std::getline(fields >> std::ws, message);
    EXPECT_EQ(run_status, 2);
    EXPECT_EQ(message, row.message);
    EXPECT_LT(given, 3u << 20) << "read on past the limit";
    // AddressSanitizer's shadow memory and quarantine come on top under
    // scripts/sanitize.
    EXPECT_LT(usage.ru_maxrss / 1024, kSanitized ? 1024 : 30) << "MB at the peak";
  }
}

}  // namespace
}  // namespace kelmory::batch
