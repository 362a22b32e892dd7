// SdDeriver: the mode table, the order of the refusals, the worked
// examples as golden rows, the advisory and every refusal for input from
// which no figures can be computed.

#include "engine/sd_deriver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/engine/test_names.h"

namespace kelmory {
namespace {

using Choice = ConfidenceChoice;
using Kind = DerivationOutcome::Kind;
using Mode = DerivationMode;

// The texts as the user sees them; the tests spell them out rather than take
// them from the engine.
const std::string kAllThree =
    "You have data in all 3 boxes. Please clear either the Standard Error box or the Confidence "
    "Error box.";
const std::string kNeither = "You must put data in box (b) and one other box to continue. Exiting.";
const std::string kOtherEmptyZ =
    "You must enter data in the z or t value box if you selected the 'Other' radio box.";
const std::string kBoxA = "The Standard Error box (a) does not hold a number that can be used.";
const std::string kBoxB = "The Total N box (b) does not hold a number that can be used.";
const std::string kBoxC = "The Confidence Error box (c) does not hold a number that can be used.";
const std::string kBoxZ = "The z or t value box does not hold a number that can be used.";
const std::string kZNotPositive = "The z or t value must be greater than 0.";
const std::string kNoLevel =
    "Please select 95%, 99% or Other ... to compute from a confidence error.";
const std::string kTooLarge = "The result is too large to be computed.";
const std::string kAdvisory =
    "Your sample is less than 31 and we would suggest that you use a more conservative estimate by "
    "using a t (alpha/2) value corresponding to N-1 degrees of freedom in computing the standard "
    "error (on the way to computing the SD) from a confidence interval. You can enter this value "
    "by selecting the 'Other' option.";

const std::string kSeLine1 = "Standard Deviation = sqrt(N) * Standard Error";
const std::string kCiLine1 =
    "Standard Error = Confidence Error / z-value equivalence of confidence interval";
const std::string kCiLine5 = "The estimated Standard Deviation = sqrt(N) * Standard Error";

std::string CentralLimitLine(const std::string& z, const std::string& label,
                             const std::string& rounded_se) {
  return "Applying the Central Limit Theorem (and assuming a z-value of " + z +
         " for the entered " + label +
         " confidence interval), the estimated standard error computes as " +
         "(approximately): " + rounded_se;
}

std::string UserValueLine(const std::string& z, const std::string& rounded_se) {
  return "Applying a user specified value of " + z +
         " as the z-value or t-value equivalent of the confidence interval, the estimated standard "
         "error computes as (approximately): " +
         rounded_se;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

DerivationRequest Request(std::string se, std::string n, std::string ci, std::string z = "",
                          Choice choice = Choice::Conf95) {
  return DerivationRequest{std::move(se), std::move(n), std::move(ci), std::move(z), choice};
}

const std::string kMaxText =
    "179769313486231570814527423731704356798070567525844996598917476803157260780028538760589558"
    "632766878171540458953514382464234321326889464182768467546703537516986049910576551282076245"
    "490090389328944075868508455133942304583236903222948165808559332123348274797826204144723168"
    "738177180919299881250404026184124858368";
const char* const kArabic = kelmory::testing::kArabicSeparator;

void ExpectRefusal(const DerivationOutcome& outcome, const std::string& message) {
  EXPECT_EQ(outcome.kind, Kind::Refusal);
  EXPECT_EQ(outcome.refusal_message, message);
  // A Refusal carries no texts and no advisory.
  EXPECT_TRUE(outcome.result_text.empty());
  EXPECT_TRUE(outcome.working_text.empty());
  EXPECT_FALSE(outcome.advisory_message.has_value());
}

// ---------------------------------------------------------------------------
// Golden rows: the worked examples of the derivation and a few more, with
// exact doubles and the whole working text.

struct GoldenRow {
  const char* name;
  std::string separator;
  DerivationRequest request;
  Mode mode;
  double n, se, sd, z;
  std::string label;
  std::string result_text;
  std::vector<std::string> working_lines;
  bool advisory;
};

class GoldenRows : public ::testing::TestWithParam<GoldenRow> {};

TEST_P(GoldenRows, GiveTheExactFiguresAndTexts) {
  const GoldenRow& row = GetParam();
  const DerivationOutcome outcome = SdDeriver(NumberLocale{row.separator}).derive(row.request);
  ASSERT_EQ(outcome.kind, Kind::Result) << outcome.refusal_message;
  EXPECT_TRUE(outcome.refusal_message.empty());
  EXPECT_EQ(outcome.figures.mode, row.mode);
  EXPECT_EQ(outcome.figures.choice, row.request.choice);
  EXPECT_EQ(outcome.figures.n, row.n);
  EXPECT_EQ(outcome.figures.se, row.se);
  EXPECT_EQ(outcome.figures.sd, row.sd);
  EXPECT_EQ(outcome.figures.z, row.z);
  EXPECT_EQ(outcome.figures.confidence_label, row.label);
  EXPECT_EQ(outcome.result_text, row.result_text);
  EXPECT_EQ(outcome.working_text, JoinCrLf(row.working_lines));
  ASSERT_EQ(outcome.advisory_message.has_value(), row.advisory);
  if (row.advisory) {
    EXPECT_EQ(*outcome.advisory_message, kAdvisory);
  }
}

// clang-format off
const GoldenRow kGoldenRows[] = {
    // Standard-error mode.
    {"Se2N25", ".", Request("2", "25", ""), Mode::StandardErrorMode, 25, 2, 10, 0, "",
     "The standard deviation is: 10",
     {kSeLine1, "Which computes to 5 * 2", "", "Therefore, the SD = 10"}, false},
    {"Se15N30", ".", Request("1.5", "30", ""), Mode::StandardErrorMode, 30, 1.5,
     8.215838362577491, 0, "", "The standard deviation is: 8.21584",
     {kSeLine1, "Which computes to 5.47722557505166 * 1.5", "",
      "Therefore, the SD = 8.21583836257749"},
     false},
    // Confidence-error mode.
    {"Ci392At95N100", ".", Request("", "100", "3.92"), Mode::ConfidenceErrorMode, 100, 2, 20, 1.96,
     "95%", "The standard deviation is: 20",
     {kCiLine1, "", CentralLimitLine("1.96", "95%", "2"), "", kCiLine5, "",
      "Which computes to 10 * 2", "", "Therefore, the SD = 20"},
     false},
    {"Ci1At99N20", ".", Request("", "20", "1", "", Choice::Conf99), Mode::ConfidenceErrorMode, 20,
     0.38819875776397517, 1.7360776222824454, 2.576, "99%", "The standard deviation is: 1.73608",
     {kCiLine1, "", CentralLimitLine("2.576", "99%", "0.3882"), "", kCiLine5, "",
      "Which computes to 4.47213595499958 * 0.388198757763975", "",
      "Therefore, the SD = 1.73607762228245"},
     true},
    {"Ci5OtherZ209N20", ".", Request("", "20", "5", "2.09", Choice::ConfOther),
     Mode::ConfidenceErrorMode, 20, 2.3923444976076556, 10.698889844496602, 2.09, "",
     "The standard deviation is: 10.69889",
     {kCiLine1, "", UserValueLine("2.09", "2.39234"), "", kCiLine5, "",
      "Which computes to 4.47213595499958 * 2.39234449760766", "",
      "Therefore, the SD = 10.6988898444966"},
     false},
    {"Ci0At95N10", ".", Request("", "10", "0"), Mode::ConfidenceErrorMode, 10, 0, 0, 1.96, "95%",
     "The standard deviation is: 0",
     {kCiLine1, "", CentralLimitLine("1.96", "95%", "0"), "", kCiLine5, "",
      "Which computes to 3.16227766016838 * 0", "", "Therefore, the SD = 0"},
     true},
    // N of 0: SD 0, and in confidence-error mode the advisory (0 < 31).
    {"Ci2At95N0", ".", Request("", "0", "2"), Mode::ConfidenceErrorMode, 0, 1.0204081632653061, 0,
     1.96, "95%", "The standard deviation is: 0",
     {kCiLine1, "", CentralLimitLine("1.96", "95%", "1.02041"), "", kCiLine5, "",
      "Which computes to 0 * 1.02040816326531", "", "Therefore, the SD = 0"},
     true},
    {"Se2N0", ".", Request("2", "0", ""), Mode::StandardErrorMode, 0, 2, 0, 0, "",
     "The standard deviation is: 0",
     {kSeLine1, "Which computes to 0 * 2", "", "Therefore, the SD = 0"}, false},
    // A typed 2.50 shows as 2.5, a typed z of 2.0 as 2.
    {"TypedTrailingZeros", ".", Request("2.50", "4", ""), Mode::StandardErrorMode, 4, 2.5, 5, 0,
     "", "The standard deviation is: 5",
     {kSeLine1, "Which computes to 2 * 2.5", "", "Therefore, the SD = 5"}, false},
    {"OtherZTypedTwoPointZero", ".", Request("", "16", "3", "2.0", Choice::ConfOther),
     Mode::ConfidenceErrorMode, 16, 1.5, 6, 2, "", "The standard deviation is: 6",
     {kCiLine1, "", UserValueLine("2", "1.5"), "", kCiLine5, "", "Which computes to 4 * 1.5", "",
      "Therefore, the SD = 6"},
     false},
    // Blanks around a number are ignored once the box counts as filled.
    {"BlanksAroundNumbers", ".", Request(" 2 ", "\t25", ""), Mode::StandardErrorMode, 25, 2, 10, 0,
     "", "The standard deviation is: 10",
     {kSeLine1, "Which computes to 5 * 2", "", "Therefore, the SD = 10"}, false},
    // The ends of the range of doubles.
    {"LargestSe", ".", Request(kMaxText, "1", ""), Mode::StandardErrorMode, 1,
     std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), 0, "",
     "The standard deviation is: 1.79769313486232E+308",
     {kSeLine1, "Which computes to 1 * 1.79769313486232E+308", "",
      "Therefore, the SD = 1.79769313486232E+308"},
     false},
    {"SmallSe", ".", Request("0.00001", "4", ""), Mode::StandardErrorMode, 4, 0.00001, 0.00002, 0,
     "", "The standard deviation is: 2E-05",
     {kSeLine1, "Which computes to 2 * 1E-05", "", "Therefore, the SD = 2E-05"}, false},
    {"HugeN", ".", Request("1", "1" + std::string(36, '0'), ""), Mode::StandardErrorMode, 1e36, 1,
     1e18, 0, "", "The standard deviation is: 1E+18",
     {kSeLine1, "Which computes to 1E+18 * 1", "", "Therefore, the SD = 1E+18"}, false},
    // A comma locale reads either separator and writes the comma.
    {"CommaSe15N30", ",", Request("1,5", "30", ""), Mode::StandardErrorMode, 30, 1.5,
     8.215838362577491, 0, "", "The standard deviation is: 8,21584",
     {kSeLine1, "Which computes to 5,47722557505166 * 1,5", "",
      "Therefore, the SD = 8,21583836257749"},
     false},
    {"CommaReadsPoint", ",", Request("", "20", "1", "", Choice::Conf99), Mode::ConfidenceErrorMode,
     20, 0.38819875776397517, 1.7360776222824454, 2.576, "99%",
     "The standard deviation is: 1,73608",
     {kCiLine1, "", CentralLimitLine("2,576", "99%", "0,3882"), "", kCiLine5, "",
      "Which computes to 4,47213595499958 * 0,388198757763975", "",
      "Therefore, the SD = 1,73607762228245"},
     true},
    {"CommaCi392At95", ",", Request("", "100", "3,92"), Mode::ConfidenceErrorMode, 100, 2, 20,
     1.96, "95%", "The standard deviation is: 20",
     {kCiLine1, "", CentralLimitLine("1,96", "95%", "2"), "", kCiLine5, "",
      "Which computes to 10 * 2", "", "Therefore, the SD = 20"},
     false},
    // U+066B ARABIC DECIMAL SEPARATOR.
    {"ArabicCi5OtherZ209", kArabic, Request("", "20", "5", "2\xD9\xAB" "09", Choice::ConfOther),
     Mode::ConfidenceErrorMode, 20, 2.3923444976076556, 10.698889844496602, 2.09, "",
     "The standard deviation is: 10\xD9\xAB" "69889",
     {kCiLine1, "", UserValueLine("2\xD9\xAB" "09", "2\xD9\xAB" "39234"), "", kCiLine5, "",
      "Which computes to 4\xD9\xAB" "47213595499958 * 2\xD9\xAB" "39234449760766", "",
      "Therefore, the SD = 10\xD9\xAB" "6988898444966"},
     false},
    {"ArabicSe", kArabic, Request("1\xD9\xAB" "5", "30", ""), Mode::StandardErrorMode, 30, 1.5,
     8.215838362577491, 0, "", "The standard deviation is: 8\xD9\xAB" "21584",
     {kSeLine1, "Which computes to 5\xD9\xAB" "47722557505166 * 1\xD9\xAB" "5", "",
      "Therefore, the SD = 8\xD9\xAB" "21583836257749"},
     false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, GoldenRows, ::testing::ValuesIn(kGoldenRows),
                         kelmory::testing::RowName{});

TEST(WorkingText, UsesCrLfAndNoTrailingBreak) {
  const DerivationOutcome outcome = SdDeriver().derive(Request("2", "25", ""));
  ASSERT_EQ(outcome.kind, Kind::Result);
  EXPECT_EQ(outcome.working_text,
            "Standard Deviation = sqrt(N) * Standard Error\r\nWhich computes to 5 * 2\r\n\r\n"
            "Therefore, the SD = 10");
  const DerivationOutcome ci = SdDeriver().derive(Request("", "100", "3.92"));
  ASSERT_EQ(ci.kind, Kind::Result);
  EXPECT_EQ(ci.working_text.substr(ci.working_text.size() - 2), "20");
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < ci.working_text.size(); ++i) {
    if (ci.working_text[i] == '\n') {
      ++breaks;
      ASSERT_GT(i, 0u);
      EXPECT_EQ(ci.working_text[i - 1], '\r');
    }
  }
  EXPECT_EQ(breaks, 8u);  // nine lines
}

// ---------------------------------------------------------------------------
// The mode table: every combination of filled and empty, with numbers and
// with texts that are not numbers (no text is converted before the mode is
// known), and with Other and an empty z box (looked at only after the mode).

struct ModeRow {
  const char* name;
  bool se, n, ci;  // filled
  // What a request with numbers in the filled boxes gives.
  std::optional<Mode> mode;
  std::string message;  // when no mode
};

class ModeTable : public ::testing::TestWithParam<ModeRow> {};

DerivationRequest Fill(const ModeRow& row, const std::string& text, Choice choice,
                       const std::string& z) {
  return Request(row.se ? text : "", row.n ? text : "", row.ci ? text : "", z, choice);
}

TEST_P(ModeTable, NumbersChooseTheMode) {
  const ModeRow& row = GetParam();
  const DerivationOutcome outcome = SdDeriver().derive(Fill(row, "4", Choice::Conf95, ""));
  if (row.mode) {
    ASSERT_EQ(outcome.kind, Kind::Result) << outcome.refusal_message;
    EXPECT_EQ(outcome.figures.mode, *row.mode);
  } else {
    ExpectRefusal(outcome, row.message);
  }
}

TEST_P(ModeTable, TextsThatAreNotNumbersGetTheSameModeRefusals) {
  const ModeRow& row = GetParam();
  const DerivationOutcome outcome = SdDeriver().derive(Fill(row, "x.y.z", Choice::Conf95, "?"));
  if (row.mode == Mode::StandardErrorMode) {
    ExpectRefusal(outcome, kBoxA);
  } else if (row.mode == Mode::ConfidenceErrorMode) {
    ExpectRefusal(outcome, kBoxB);
  } else {
    ExpectRefusal(outcome, row.message);
  }
}

TEST_P(ModeTable, OtherWithAnEmptyZBoxIsLookedAtAfterTheMode) {
  const ModeRow& row = GetParam();
  const DerivationOutcome outcome = SdDeriver().derive(Fill(row, "x", Choice::ConfOther, ""));
  if (row.mode == Mode::StandardErrorMode) {
    ExpectRefusal(outcome, kBoxA);  // the z box plays no part
  } else if (row.mode == Mode::ConfidenceErrorMode) {
    ExpectRefusal(outcome, kOtherEmptyZ);
  } else {
    ExpectRefusal(outcome, row.message);
  }
}

TEST_P(ModeTable, BlanksCountAsFilled) {
  const ModeRow& row = GetParam();
  const DerivationOutcome outcome = SdDeriver().derive(Fill(row, " ", Choice::Conf95, ""));
  if (row.mode == Mode::StandardErrorMode) {
    ExpectRefusal(outcome, kBoxA);
  } else if (row.mode == Mode::ConfidenceErrorMode) {
    ExpectRefusal(outcome, kBoxB);
  } else {
    ExpectRefusal(outcome, row.message);
  }
}

// clang-format off
const ModeRow kModeRows[] = {
    {"FFF", true, true, true, std::nullopt, kAllThree},
    {"FFE", true, true, false, Mode::StandardErrorMode, ""},
    {"EFF", false, true, true, Mode::ConfidenceErrorMode, ""},
    {"FEF", true, false, true, std::nullopt, kNeither},
    {"FEE", true, false, false, std::nullopt, kNeither},
    {"EFE", false, true, false, std::nullopt, kNeither},
    {"EEF", false, false, true, std::nullopt, kNeither},
    {"EEE", false, false, false, std::nullopt, kNeither},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, ModeTable, ::testing::ValuesIn(kModeRows),
                         kelmory::testing::RowName{});

// ---------------------------------------------------------------------------
// Refusals: the three fixed ones in their order, then those for texts that
// give no figures, each naming the first box that fails in the conversion
// order se, n (standard-error mode) and z (under Other only), n, ci.

struct RefusalRow {
  const char* name;
  std::string separator;
  DerivationRequest request;
  std::string message;
};

class Refusals : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(Refusals, GiveTheMessage) {
  const RefusalRow& row = GetParam();
  ExpectRefusal(SdDeriver(NumberLocale{row.separator}).derive(row.request), row.message);
}

const std::string kBig = "1" + std::string(300, '0');  // 1e300
const std::string kTooBig = "1" + std::string(400, '0');

// clang-format off
const RefusalRow kRefusalRows[] = {
    // The all-three refusal comes first, whatever the texts and the choice.
    {"AllThreeNumbers", ".", Request("2", "25", "3"), kAllThree},
    {"AllThreeNotNumbers", ".", Request("a", "b", "c"), kAllThree},
    {"AllThreeOtherEmptyZ", ".", Request("2", "25", "3", "", Choice::ConfOther), kAllThree},
    {"AllThreeNoLevel", ".", Request("2", "25", "3", "", Choice::ConfNone), kAllThree},
    {"AllThreeBlankSe", ".", Request(" ", "25", "3"), kAllThree},
    // Then neither mode.
    {"SeAndCiWithoutN", ".", Request("2", "", "3"), kNeither},
    {"NAlone", ".", Request("", "25", ""), kNeither},
    {"NAloneWithZ", ".", Request("", "25", "", "2", Choice::ConfOther), kNeither},
    {"AllEmpty", ".", Request("", "", ""), kNeither},
    {"AllEmptyOther", ".", Request("", "", "", "", Choice::ConfOther), kNeither},
    {"SeAlone", ".", Request("2", "", ""), kNeither},
    {"CiAlone", ".", Request("", "", "3"), kNeither},
    {"BlankNAloneIsStillNeither", ".", Request("", " ", ""), kNeither},
    // Then, in confidence-error mode, Other with an empty z box, before any
    // conversion.
    {"OtherEmptyZ", ".", Request("", "20", "5", "", Choice::ConfOther), kOtherEmptyZ},
    {"OtherEmptyZBadTexts", ".", Request("", "x", "y", "", Choice::ConfOther), kOtherEmptyZ},
    // ConfNone in confidence-error mode: there is no z, before any conversion.
    {"NoLevel", ".", Request("", "20", "5", "", Choice::ConfNone), kNoLevel},
    {"NoLevelBadTexts", ".", Request("", "x", "y", "2", Choice::ConfNone), kNoLevel},
    // Standard-error mode: se, then n.
    {"SeNotNumber", ".", Request("abc", "25", ""), kBoxA},
    {"SeAndNNotNumbers", ".", Request("abc", "x", ""), kBoxA},
    {"SeBlank", ".", Request(" ", "25", ""), kBoxA},
    {"SeLoneSeparator", ".", Request(".", "25", ""), kBoxA},
    {"SeTwoSeparators", ".", Request("1.2.3", "25", ""), kBoxA},
    {"SeNegative", ".", Request("-2", "25", ""), kBoxA},
    {"SeExponent", ".", Request("2e3", "25", ""), kBoxA},
    {"SeBeyondRange", ".", Request(kTooBig, "25", ""), kBoxA},
    {"SeModeNNotNumber", ".", Request("2", "x", ""), kBoxB},
    {"SeModeNNegative", ".", Request("2", "-4", ""), kBoxB},
    {"SeModeNBlank", ".", Request("2", "\t", ""), kBoxB},
    {"SeModeNBeyondRange", ".", Request("2", kTooBig, ""), kBoxB},
    // Confidence-error mode: z (Other only), then n, then ci.
    {"ZNotNumber", ".", Request("", "x", "y", "t", Choice::ConfOther), kBoxZ},
    {"ZBlank", ".", Request("", "20", "5", " ", Choice::ConfOther), kBoxZ},
    {"ZNegative", ".", Request("", "20", "5", "-2", Choice::ConfOther), kBoxZ},
    {"ZBeyondRange", ".", Request("", "20", "5", kTooBig, Choice::ConfOther), kBoxZ},
    {"ZZero", ".", Request("", "20", "5", "0", Choice::ConfOther), kZNotPositive},
    {"ZZeroPointZero", ".", Request("", "20", "5", " 0.000 ", Choice::ConfOther), kZNotPositive},
    {"ZZeroBeforeBadN", ".", Request("", "x", "y", "0", Choice::ConfOther), kZNotPositive},
    {"ZUnderflowsToZero", ".", Request("", "20", "5", "0." + std::string(400, '0') + "1",
                                       Choice::ConfOther),
     kZNotPositive},
    {"OtherNNotNumber", ".", Request("", "x", "y", "2", Choice::ConfOther), kBoxB},
    {"OtherCiNotNumber", ".", Request("", "20", "y", "2", Choice::ConfOther), kBoxC},
    {"At95NNotNumber", ".", Request("", "x", "y"), kBoxB},
    {"At95BadZIgnored", ".", Request("", "x", "y", "z", Choice::Conf95), kBoxB},
    {"At99CiNotNumber", ".", Request("", "20", "..", "", Choice::Conf99), kBoxC},
    {"CiBlank", ".", Request("", "20", " "), kBoxC},
    {"CiBeyondRange", ".", Request("", "20", kTooBig), kBoxC},
    {"CiNegative", ".", Request("", "20", "-1"), kBoxC},
    // Separators: the comma is no separator in a point locale, and the
    // point and the locale's separator together are two.
    {"CommaInPointLocale", ".", Request("2,5", "25", ""), kBoxA},
    {"CommaAndPoint", ",", Request("2,5.0", "25", ""), kBoxA},
    {"ArabicAndPoint", kArabic, Request("", "20", "1\xD9\xAB" "5.0"), kBoxC},
    {"ArabicTwice", kArabic, Request("", "2\xD9\xAB\xD9\xAB", "1"), kBoxB},
    // Beyond the double range: an SE or SD too large for a double.
    {"SdOverflowsFromFiniteSe", ".", Request(kBig, "1" + std::string(20, '0'), ""), kTooLarge},
    {"SdOverflowsFromLargestSe", ".", Request(kMaxText, "4", ""), kTooLarge},
    {"SeOverflowsFromCiOverZ", ".", Request("", "1", kMaxText, "0.5", Choice::ConfOther),
     kTooLarge},
    {"SeOverflowsTinyZ", ".",
     Request("", "1", kBig, "0." + std::string(10, '0') + "1", Choice::ConfOther), kTooLarge},
    {"SeOverflowsSmallestZ", ".",
     Request("", "0", "1", "0." + std::string(323, '0') + "5", Choice::ConfOther), kTooLarge},
    {"SdOverflowsAt95", ".", Request("", "4", kMaxText), kTooLarge},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, Refusals, ::testing::ValuesIn(kRefusalRows),
                         kelmory::testing::RowName{});

// ---------------------------------------------------------------------------
// The advisory: confidence-error mode, 95% or 99%, n < 31 compared as
// doubles.

struct AdvisoryRow {
  const char* name;
  DerivationRequest request;
  bool advisory;
};

class Advisory : public ::testing::TestWithParam<AdvisoryRow> {};

TEST_P(Advisory, AppearsExactlyForSmallSamplesAt95And99) {
  const AdvisoryRow& row = GetParam();
  const DerivationOutcome outcome = SdDeriver().derive(row.request);
  ASSERT_EQ(outcome.kind, Kind::Result) << outcome.refusal_message;
  ASSERT_EQ(outcome.advisory_message.has_value(), row.advisory);
  if (row.advisory) {
    EXPECT_EQ(*outcome.advisory_message, kAdvisory);
  }
}

// clang-format off
const AdvisoryRow kAdvisoryRows[] = {
    {"N30At95", Request("", "30", "2"), true},
    {"N31At95", Request("", "31", "2"), false},
    {"N30At99", Request("", "30", "2", "", Choice::Conf99), true},
    {"N31At99", Request("", "31", "2", "", Choice::Conf99), false},
    {"N30Point5", Request("", "30.5", "2"), true},
    {"JustBelow31", Request("", "30.99999999999999", "2"), true},
    {"ReadsAs31", Request("", "30.999999999999999999", "2"), false},
    {"N100", Request("", "100", "2"), false},
    {"N0", Request("", "0", "2"), true},
    {"N0At99", Request("", "0", "2", "", Choice::Conf99), true},
    {"OtherN20", Request("", "20", "2", "2.09", Choice::ConfOther), false},
    {"OtherN1", Request("", "1", "2", "12.706", Choice::ConfOther), false},
    {"StandardErrorN5", Request("2", "5", ""), false},
    {"StandardErrorN5Conf99", Request("2", "5", "", "", Choice::Conf99), false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, Advisory, ::testing::ValuesIn(kAdvisoryRows),
                         kelmory::testing::RowName{});

// ---------------------------------------------------------------------------
// What each mode ignores.

struct IgnoredRow {
  const char* name;
  DerivationRequest request;
  DerivationRequest same_as;
};

class Ignored : public ::testing::TestWithParam<IgnoredRow> {};

TEST_P(Ignored, GivesTheSameTextsAndFigures) {
  const IgnoredRow& row = GetParam();
  const DerivationOutcome got = SdDeriver().derive(row.request);
  const DerivationOutcome want = SdDeriver().derive(row.same_as);
  ASSERT_EQ(got.kind, Kind::Result) << got.refusal_message;
  ASSERT_EQ(want.kind, Kind::Result) << want.refusal_message;
  EXPECT_EQ(got.figures.mode, want.figures.mode);
  EXPECT_EQ(got.figures.n, want.figures.n);
  EXPECT_EQ(got.figures.se, want.figures.se);
  EXPECT_EQ(got.figures.sd, want.figures.sd);
  EXPECT_EQ(got.figures.z, want.figures.z);
  EXPECT_EQ(got.figures.confidence_label, want.figures.confidence_label);
  EXPECT_EQ(got.result_text, want.result_text);
  EXPECT_EQ(got.working_text, want.working_text);
  EXPECT_EQ(got.advisory_message, want.advisory_message);
}

// clang-format off
const IgnoredRow kIgnoredRows[] = {
    // The z box is ignored under 95% and 99%.
    {"ZThreeAt95", Request("", "20", "1", "3", Choice::Conf95), Request("", "20", "1")},
    {"ZTextAt95", Request("", "20", "1", "abc", Choice::Conf95), Request("", "20", "1")},
    {"ZZeroAt99", Request("", "20", "1", "0", Choice::Conf99),
     Request("", "20", "1", "", Choice::Conf99)},
    {"ZBlankAt99", Request("", "20", "1", " ", Choice::Conf99),
     Request("", "20", "1", "", Choice::Conf99)},
    // Standard-error mode ignores the choice and the z box altogether.
    {"SeOtherEmptyZ", Request("2", "25", "", "", Choice::ConfOther), Request("2", "25", "")},
    {"SeOtherBadZ", Request("2", "25", "", "x", Choice::ConfOther), Request("2", "25", "")},
    {"SeOtherZeroZ", Request("2", "25", "", "0", Choice::ConfOther), Request("2", "25", "")},
    {"SeAt99", Request("2", "25", "", "3", Choice::Conf99), Request("2", "25", "")},
    {"SeNoLevel", Request("2", "25", "", "", Choice::ConfNone), Request("2", "25", "")},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, Ignored, ::testing::ValuesIn(kIgnoredRows),
                         kelmory::testing::RowName{});

TEST(ZUnderThe95And99Options, IsTheFixedConstant) {
  const DerivationOutcome at95 = SdDeriver().derive(Request("", "20", "1", "3", Choice::Conf95));
  ASSERT_EQ(at95.kind, Kind::Result);
  EXPECT_EQ(at95.figures.z, 1.96);
  const DerivationOutcome at99 = SdDeriver().derive(Request("", "20", "1", "3", Choice::Conf99));
  ASSERT_EQ(at99.kind, Kind::Result);
  EXPECT_EQ(at99.figures.z, 2.576);
}

// se = ci / z is stored, then sd = sqrt(n) * se: not sqrt(n) * ci / z. For
// CI 3.92 at 95% and N 100 the other order gives 20.000000000000004.
TEST(DoubleArithmetic, DividesFirstThenMultipliesTheStoredQuotient) {
  const double ci = 3.92, z = 1.96, n = 100;
  const DerivationOutcome outcome = SdDeriver().derive(Request("", "100", "3.92"));
  ASSERT_EQ(outcome.kind, Kind::Result);
  EXPECT_EQ(outcome.figures.se, 2.0);
  EXPECT_EQ(outcome.figures.sd, 20.0);
  EXPECT_EQ(outcome.figures.sd, std::sqrt(n) * (ci / z));
  EXPECT_NE(std::sqrt(n) * ci / z, 20.0);
}

TEST(Deriver, IsDeterministic) {
  const SdDeriver deriver;
  const DerivationRequest request = Request("", "20", "1", "", Choice::Conf99);
  const DerivationOutcome first = deriver.derive(request);
  const DerivationOutcome second = deriver.derive(request);
  EXPECT_EQ(first.working_text, second.working_text);
  EXPECT_EQ(first.result_text, second.result_text);
  EXPECT_EQ(first.figures.sd, second.figures.sd);
}

}  // namespace
}  // namespace kelmory
