// ParseNumber: digits with at most one
// separator (the locale's or the point) and at least one digit, blanks
// around; the nearest double; nothing for anything else or beyond the range.

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "engine/number_text.h"
#include "tests/engine/test_names.h"

namespace kelmory {
namespace {

struct ParseRow {
  const char* name;
  std::string separator;
  std::string text;
  std::optional<double> value;
};

class ParseNumberTable : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseNumberTable, ReadsTheNearestDoubleOrNothing) {
  const ParseRow& row = GetParam();
  const std::optional<double> value = ParseNumber(row.text, NumberLocale{row.separator});
  ASSERT_EQ(value.has_value(), row.value.has_value()) << "text: [" << row.text << "]";
  if (value) {
    EXPECT_EQ(*value, *row.value);
  }
}

const std::string kDblMaxText =
    "1797693134862315708145274237317043567980705675258449965989174768031572607800285387605895"
    "5863276687817154045895351438246423432132688946418276846754670353751698604991057655128207"
    "6245490090389328944075868508455133942304583236903222948165808559332123348274797826204144"
    "723168738177180919299881250404026184124858368";
// DBL_MAX + half an ulp: the tie rounds to the even neighbour, 2^1024.
const std::string kHalfUlpAboveMax =
    "1797693134862315807937289714053034150799341327100378269361737789804449682927647509466490"
    "1797758720709633028641669288791094655554785194040263065748867150582068190890200070838367"
    "6273854845817711531764475730270069855571366959622842914819860834936475292719074168444365"
    "510704342711559699508093042880177904174497792";

const std::optional<double> kNothing;
const char* const kArabic = kelmory::testing::kArabicSeparator;

// clang-format off
const ParseRow kParseRows[] = {
    // The Part's forms.
    {"Digits", ".", "25", 25.0},
    {"Fraction", ".", "3.92", 3.92},
    {"LeadingSeparator", ".", ".5", 0.5},
    {"TrailingSeparator", ".", "5.", 5.0},
    {"LeadingZeros", ".", "007", 7.0},
    {"TrailingZeros", ".", "2.50", 2.5},
    {"Zero", ".", "0", 0.0},
    {"ZeroPointZero", ".", "0.0", 0.0},
    {"Z209", ".", "2.09", 2.09},
    // Blanks (space, tab) around the number are ignored.
    {"LeadingBlank", ".", " 2", 2.0},
    {"TrailingBlank", ".", "2 ", 2.0},
    {"Tabs", ".", "\t2.5\t", 2.5},
    {"MixedBlanks", ".", " \t 3.92 \t ", 3.92},
    // Nothing else.
    {"Empty", ".", "", kNothing},
    {"OnlyBlank", ".", " ", kNothing},
    {"OnlyTab", ".", "\t", kNothing},
    {"LoneSeparator", ".", ".", kNothing},
    {"LoneSeparatorInBlanks", ".", " . ", kNothing},
    {"TwoSeparators", ".", "1.2.3", kNothing},
    {"DoubleSeparator", ".", "1..2", kNothing},
    {"Minus", ".", "-1", kNothing},
    {"Plus", ".", "+1", kNothing},
    {"Exponent", ".", "1e5", kNothing},
    {"ExponentUpper", ".", "1E5", kNothing},
    {"Grouping", ".", "1,000", kNothing},
    {"InnerBlank", ".", "1 000", kNothing},
    {"Hex", ".", "0x10", kNothing},
    {"Letters", ".", "abc", kNothing},
    {"TrailingLetter", ".", "1a", kNothing},
    {"Infinity", ".", "inf", kNothing},
    {"NotANumber", ".", "nan", kNothing},
    {"Currency", ".", "$5", kNothing},
    {"TrailingNewline", ".", "1\n", kNothing},
    {"LeadingCarriageReturn", ".", "\r1", kNothing},
    {"NoBreakSpace", ".", "\xC2\xA0" "1", kNothing},
    {"EmbeddedNul", ".", std::string("1\0" "2", 3), kNothing},
    // The range of doubles.
    {"Max", ".", kDblMaxText, std::numeric_limits<double>::max()},
    {"HalfUlpAboveMax", ".", kHalfUlpAboveMax, kNothing},
    {"OneAnd400Zeros", ".", "1" + std::string(400, '0'), kNothing},
    {"SmallestSubnormal", ".", "0." + std::string(323, '0') + "5",
     std::numeric_limits<double>::denorm_min()},
    // Below half the smallest subnormal the nearest double is zero.
    {"UnderflowsToZero", ".", "0." + std::string(400, '0') + "1", 0.0},
    {"ManyZeros", ".", "0." + std::string(1000, '0'), 0.0},
    {"LongLeadingZeros", ".", std::string(500, '0') + "7", 7.0},
    // Correct rounding of long digit strings: the exact midpoint between 1
    // and the next double goes to even; a digit more goes up.
    {"MidpointToEven", ".", "1.00000000000000011102230246251565404236316680908203125", 1.0},
    {"AboveMidpoint", ".", "1.000000000000000111022302462515654042363166809082031251",
     1.0000000000000002},
    {"ExactNextAfterThree", ".", "3.000000000000000444089209850062616169452667236328125",
     3.0000000000000004},
    // A comma locale: the comma or the point, one of them at most.
    {"CommaFraction", ",", "2,5", 2.5},
    {"CommaAcceptsPoint", ",", "2.5", 2.5},
    {"CommaLeading", ",", ",5", 0.5},
    {"CommaTrailing", ",", "5,", 5.0},
    {"CommaThousandIsFraction", ",", "1,000", 1.0},
    {"CommaAndPoint", ",", "2,5.1", kNothing},
    {"PointAndComma", ",", "2.5,1", kNothing},
    {"TwoCommas", ",", "2,,5", kNothing},
    {"LoneComma", ",", ",", kNothing},
    {"CommaInBlanks", ",", " 3,92 ", 3.92},
    // U+066B ARABIC DECIMAL SEPARATOR, two bytes in UTF-8.
    {"ArabicFraction", kArabic, "2\xD9\xAB" "5", 2.5},
    {"ArabicAcceptsPoint", kArabic, "2.5", 2.5},
    {"ArabicLeading", kArabic, "\xD9\xAB" "5", 0.5},
    {"ArabicTrailing", kArabic, "5\xD9\xAB", 5.0},
    {"ArabicZ", kArabic, "2\xD9\xAB" "09", 2.09},
    {"ArabicAndPoint", kArabic, "2\xD9\xAB" "5.1", kNothing},
    {"TwoArabic", kArabic, "2\xD9\xAB\xD9\xAB" "5", kNothing},
    {"LoneArabic", kArabic, "\xD9\xAB", kNothing},
    {"ArabicFirstByteOnly", kArabic, "2\xD9" "5", kNothing},
    {"ArabicCutShort", kArabic, "2\xD9", kNothing},
    {"ArabicSecondByteOnly", kArabic, "2\xAB" "5", kNothing},
    {"CommaInArabicLocale", kArabic, "2,5", kNothing},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, ParseNumberTable, ::testing::ValuesIn(kParseRows),
                         kelmory::testing::RowName{});

// The texts NumberText writes in plain notation read back as the same
// rounded value, in every locale.
TEST(ParseNumberRoundTrip, ReadsBackWhatNumberTextWrites) {
  const double values[] = {2.5, 0.3882, 10.69889, 1.73608, 123456789012345.0, 0.0001};
  for (const char* separator : {".", ",", kArabic}) {
    const NumberLocale locale{separator};
    for (double value : values) {
      const std::optional<double> back = ParseNumber(NumberText(value, locale), locale);
      ASSERT_TRUE(back.has_value()) << value << " with [" << separator << "]";
      EXPECT_EQ(*back, value) << " with [" << separator << "]";
    }
  }
}

}  // namespace
}  // namespace kelmory
