// The engine against the texts the user sees: the mode table and the order of
// the refusals, worked examples as golden rows, the boundaries where faults
// hide, and the number helpers. Expected texts are spelled out here, never
// taken from the engine.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "engine/critical_values.h"
#include "engine/number_text.h"
#include "engine/sd_deriver.h"

namespace kelmory {
namespace {

using C = ConfidenceChoice;
const std::string kAr = "\xD9\xAB";  // U+066B ARABIC DECIMAL SEPARATOR
const std::string kSeMode = "(standard-error mode)", kCiMode = "(confidence-error mode)";
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
const std::string kZZero = "The z or t value must be greater than 0.";
const std::string kNoLevel =
    "Please select 95%, 99% or Other ... to compute from a confidence error.";
const std::string kTooLarge = "The result is too large to be computed.";
const std::string kAdvisory =
    "Your sample is less than 31 and we would suggest that you use a more conservative estimate by "
    "using a t (alpha/2) value corresponding to N-1 degrees of freedom in computing the standard "
    "error (on the way to computing the SD) from a confidence interval. You can enter this value "
    "by selecting the 'Other' option.";

DerivationOutcome Derive(const DerivationRequest& request, const std::string& separator = ".") {
  return SdDeriver(NumberLocale{separator}).derive(request);
}

// The mode of a Result, or the message of a Refusal (which must carry no texts).
std::string What(const DerivationOutcome& o) {
  if (o.kind == DerivationOutcome::Kind::Refusal)
    return o.result_text.empty() && o.working_text.empty() ? o.refusal_message : "(texts)";
  return o.figures.mode == DerivationMode::StandardErrorMode ? kSeMode : kCiMode;
}

TEST(Derive, GoldenRowsGiveTheExactFiguresAndTexts) {
  struct Row {
    DerivationRequest request;
    std::string separator;
    bool advisory;
    double se, sd;
    std::string rounded_sd, z, label, rounded_se, root, se_text, sd_text;
  };
  // Some z boxes hold text where it must be ignored: in standard-error mode,
  // under 95% and under 99%.
  // clang-format off
  const Row rows[] = {
      {{"2", "25", "", "x", C::ConfOther}, ".", false, 2, 10, "10", "", "", "", "5", "2", "10"},
      {{"1.5", "30", ""}, ".", false, 1.5, 8.215838362577491, "8.21584", "", "", "",
       "5.47722557505166", "1.5", "8.21583836257749"},
      {{"", "100", "3.92", "3"}, ".", false, 2, 20, "20", "1.96", "95%", "2", "10", "2", "20"},
      {{"", "20", "1", "3", C::Conf99}, ".", true, 0.38819875776397517, 1.7360776222824454,
       "1.73608", "2.576", "99%", "0.3882", "4.47213595499958", "0.388198757763975",
       "1.73607762228245"},
      {{"", "20", "5", "2.09", C::ConfOther}, ".", false, 2.3923444976076556,
       10.698889844496602, "10.69889", "2.09", "", "2.39234", "4.47213595499958",
       "2.39234449760766", "10.6988898444966"},
      {{"", "10", "0"}, ".", true, 0, 0, "0", "1.96", "95%", "0", "3.16227766016838", "0", "0"},
      // Tiny figures keep three significant digits where they are rounded.
      {{"0.0000123", "37", ""}, ".", false, 1.23e-05, 7.48179791226681e-05, "7.48E-05", "", "",
       "", "6.08276253029822", "1.23E-05", "7.48179791226681E-05"},
      {{"", "9", "0.00001", "3", C::ConfOther}, ".", false, 3.3333333333333337e-06, 1e-05,
       "1E-05", "3", "", "3.33E-06", "3", "3.33333333333333E-06",
       "1E-05"},
      // The locale's separator is read and written everywhere.
      {{"", "20", "1,0", "abc", C::Conf99}, ",", true, 0.38819875776397517, 1.7360776222824454,
       "1,73608", "2,576", "99%", "0,3882", "4,47213595499958", "0,388198757763975",
       "1,73607762228245"},
      {{"1" + kAr + "5", "30", ""}, kAr, false, 1.5, 8.215838362577491, "8" + kAr + "21584", "", "",
       "", "5" + kAr + "47722557505166", "1" + kAr + "5", "8" + kAr + "21583836257749"},
  };
  // clang-format on
  for (const Row& row : rows) {
    const std::string tail = "Which computes to " + row.root + " * " + row.se_text +
                             "\r\n\r\nTherefore, the SD = " + row.sd_text;
    const std::string se_line =
        (row.label.empty()
             ? "Applying a user specified value of " + row.z +
                   " as the z-value or t-value equivalent of the confidence interval,"
             : "Applying the Central Limit Theorem (and assuming a z-value of " + row.z +
                   " for the entered " + row.label + " confidence interval),") +
        " the estimated standard error computes as (approximately): " + row.rounded_se;
    const std::string ci_head =
        "Standard Error = Confidence Error / z-value equivalence of confidence interval\r\n\r\n";
    const std::string working =
        row.z.empty() ? "Standard Deviation = sqrt(N) * Standard Error\r\n" + tail
                      : ci_head + se_line +
                            "\r\n\r\nThe estimated Standard Deviation = sqrt(N) * Standard Error" +
                            "\r\n\r\n" + tail;
    SCOPED_TRACE(working);
    const DerivationOutcome o = Derive(row.request, row.separator);
    ASSERT_EQ(What(o), row.z.empty() ? kSeMode : kCiMode);
    EXPECT_EQ(o.figures.se, row.se);
    EXPECT_EQ(o.figures.sd, row.sd);
    EXPECT_EQ(o.result_text, "The standard deviation is: " + row.rounded_sd);
    EXPECT_EQ(o.working_text, working);
    EXPECT_EQ(o.advisory_message.value_or(""), row.advisory ? kAdvisory : "");
  }
}

// Each row: numbers at 95%, blanks at 95%, letters under Other with an empty z
// box. No text is converted, and no z box looked at, before the mode is known.
TEST(Derive, ModeTableComesBeforeAnyConversion) {
  struct Row {
    bool se, n, ci;
    std::string numbers, blanks, letters_other;
  };
  // clang-format off
  const Row rows[] = {
      {1, 1, 1, kAllThree, kAllThree, kAllThree},
      {1, 1, 0, kSeMode, kBoxA, kBoxA},
      {0, 1, 1, kCiMode, kBoxB, kOtherEmptyZ},
      {1, 0, 1, kNeither, kNeither, kNeither},
      {1, 0, 0, kNeither, kNeither, kNeither},
      {0, 1, 0, kNeither, kNeither, kNeither},
      {0, 0, 1, kNeither, kNeither, kNeither},
      {0, 0, 0, kNeither, kNeither, kNeither},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.se << r.n << r.ci);
    const auto fill = [&r](const std::string& t, C choice) {
      return DerivationRequest{r.se ? t : "", r.n ? t : "", r.ci ? t : "", "", choice};
    };
    EXPECT_EQ(What(Derive(fill("4", C::Conf95))), r.numbers);
    EXPECT_EQ(What(Derive(fill(" ", C::Conf95))), r.blanks);
    EXPECT_EQ(What(Derive(fill("x", C::ConfOther))), r.letters_other);
  }
}

// Converted in the order se, n; or z (under Other only), n, ci.
TEST(Derive, RefusalsNameTheFirstBoxThatFails) {
  const std::string big = "1" + std::string(300, '0');
  // clang-format off
  const std::pair<DerivationRequest, std::string> rows[] = {
      {{"abc", "x", ""}, kBoxA},
      {{"2", "-4", ""}, kBoxB},
      {{"", "x", "y", "t", C::ConfOther}, kBoxZ},
      {{"", "20", "5", " ", C::ConfOther}, kBoxZ},
      {{"", "x", "y", "0.00", C::ConfOther}, kZZero},
      {{"", "x", "y", "2", C::ConfOther}, kBoxB},
      {{"", "20", "y", "2", C::ConfOther}, kBoxC},
      {{"", "x", "y", "z", C::Conf95}, kBoxB},
      {{"", "20", "..", "", C::Conf99}, kBoxC},
      {{"", "x", "y", "2", C::ConfNone}, kNoLevel},
      {{big, "1" + std::string(20, '0'), ""}, kTooLarge},
      {{"", "1", big, "0.00000000001", C::ConfOther}, kTooLarge},
  };
  // clang-format on
  for (std::size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(What(Derive(rows[i].first)), rows[i].second) << "row " << i;
}

// Confidence-error mode at 95% or 99% below 31 only; standard-error mode
// never advises.
TEST(Derive, AdvisoryBoundaries) {
  // clang-format off
  const std::pair<DerivationRequest, bool> rows[] = {
      {{"", "30", "2"}, true},
      {{"", "31", "2"}, false},
      {{"", "30", "2", "", C::Conf99}, true},
      {{"", "20", "2", "2.09", C::ConfOther}, false},
      {{"2", "5", ""}, false},
      {{"2", "5", "", "", C::ConfNone}, false},
  };
  // clang-format on
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const DerivationOutcome o = Derive(rows[i].first);
    ASSERT_EQ(o.kind, DerivationOutcome::Kind::Result) << "row " << i;
    EXPECT_EQ(o.advisory_message.value_or(""), rows[i].second ? kAdvisory : "") << "row " << i;
  }
}

// Ties are judged on the double product value * 10^5.
TEST(RoundToPlaces, TiesGoToEven) {
  const std::pair<double, double> rows[] = {{1.000005, 1}, {3.000015, 3.00002}, {0.123455, 0.12346},
                                            {2.000005, 2}, {0.300005, 0.30001}, {10, 10}};
  for (const auto& [value, rounded] : rows) EXPECT_EQ(RoundToPlaces(value, 5), rounded) << value;
}

// Five places, or three significant digits for a nonzero magnitude below
// 0.001, with ties judged on the scaled double as RoundToPlaces judges them.
TEST(RoundShown, TinyValuesKeepThreeSignificantDigits) {
  // clang-format off
  const std::pair<double, std::string> rows[] = {
      {0.0, "0"},
      {2.4e-06, "2.4E-06"},
      {7.48179791226681e-05, "7.48E-05"},
      {-1.23456e-06, "-1.23E-06"},
      {0.00099949, "0.000999"},
      {0.00099951, "0.001"},
      {std::nextafter(0.001, 0.0), "0.001"},  // exponent -4: 999.9999999999998 scaled
      {0.001, "0.001"},
      {std::nextafter(0.001, 1.0), "0.001"},
      {0.0123456, "0.01235"},  // five places from 0.001 up, not three digits
      {1.225e-05, "1.22E-05"},  // 122.5 scaled: a tie, to even
      {1.235e-05, "1.24E-05"},  // 123.5
      {1.2345e-05, "1.23E-05"},  // 123.44999999999999 scaled: below the half
      {1e-07, "1E-07"},  // the double is 9.99...e-08: its own exponent is -8
      {1e-91, "1E-91"},  // by a 10^93 multiplied up it would be 9.99999999999999E-92
      {1.23456e-307, "1.23E-307"},  // 10^309 is beyond the doubles
  };
  // clang-format on
  for (const auto& [value, text] : rows) EXPECT_EQ(NumberText(RoundShown(value)), text) << value;
}

TEST(NumberText, FifteenDigitsAndTheNotationSwitches) {
  // clang-format off
  const std::pair<double, std::string> rows[] = {
      {1.0 / 3.0, "0.333333333333333"},
      {0.5, "0.5"},
      {10, "10"},
      {-2.5, "-2.5"},
      {0.0, "0"},
      {-0.0, "0"},
      {1e15, "1E+15"},
      {999999999999999, "999999999999999"},
      {999999999999999.625, "1E+15"},  // the switch is judged after the rounding
      {123456789012344.5, "123456789012344"},  // an exact tie goes to the even digit
      {0.0001, "0.0001"},
      {std::nextafter(0.0001, 0.0), "0.0001"},
      {0.00001, "1E-05"},
      {1.5e-7, "1.5E-07"},
      {5e-324, "4.94065645841247E-324"},
      {1e100, "1E+100"},
      {1e-100, "1E-100"},
  };
  // clang-format on
  for (const auto& [value, text] : rows) EXPECT_EQ(NumberText(value), text);
}

TEST(ParseNumber, DigitsWithAtMostOneSeparator) {
  struct Row {
    std::string separator, text;
    std::optional<double> value;
  };
  // clang-format off
  const Row rows[] = {
      {".", "25", 25},
      {".", "3.92", 3.92},
      {".", ".5", 0.5},
      {".", "5.", 5},
      {".", "007", 7},
      {".", " \t2.5\t ", 2.5},
      {",", "2,5", 2.5},
      {",", "2.5", 2.5},  // the point, as the main window's filters type it
      {kAr, "2" + kAr + "5", 2.5},
      {".", "", std::nullopt},
      {".", " ", std::nullopt},
      {".", ".", std::nullopt},
      {".", "1.2.3", std::nullopt},
      {",", "2,5.1", std::nullopt},
      {kAr, "2" + kAr + kAr + "5", std::nullopt},
      {".", "-1", std::nullopt},
      {".", "1e5", std::nullopt},
      {".", "1,000", std::nullopt},
      {".", "inf", std::nullopt},
      {".", "1" + std::string(400, '0'), std::nullopt},
  };
  // clang-format on
  for (const Row& row : rows)
    EXPECT_EQ(ParseNumber(row.text, NumberLocale{row.separator}), row.value)
        << "[" << row.text << "]";
}

// The same digits on every platform: the correctly rounded value, from
// mpmath at 60 digits, where the C library's functions and Boost's double
// quantiles were seen a unit in the last place off.
TEST(WideFunctions, GiveTheCorrectlyRoundedValue) {
  const struct {
    double tail, z;
  } quantiles[] = {
      {0.085, 1.3722038089987258},  // z(1 - p/2) for p 0.17
      {0.625 / 12.25, 1.6350392668017106}, {(0.25 * 77 + 0.375) / (77 + 0.25), 0.6618137157158426},
      {1e-20, 9.262340089798407},          {1e-300, 37.0470962993612},
  };
  for (const auto& q : quantiles) EXPECT_EQ(UpperNormalQuantile(q.tail), q.z) << q.tail;
  EXPECT_EQ(UpperNormalQuantile(0), std::nullopt);
  EXPECT_EQ(UpperNormalQuantile(0.5), std::nullopt);  // no positive quantile
  EXPECT_EQ(WidePow(20, 0.75), 9.457416090031758);
  EXPECT_EQ(WidePow(77, 0.55), 10.903599695614322);
  EXPECT_EQ(WidePow(1000, 0.6), 63.095734448019314);
  EXPECT_EQ(WideLog(0.64), -0.4462871026284195);
  EXPECT_EQ(WideLog(12 * 0.6), 1.9740810260220096);
  EXPECT_EQ(WideLog(86), 4.454347296253507);
}

}  // namespace
}  // namespace kelmory
