#pragma once
// Two-sided critical values of a confidence level given in percent: the
// normal and Student's t quantiles at (1 + level/100)/2, correctly rounded to
// double (computed in long double, or a double estimate refined in 113 bits
// where long double is not x87's, and by a 113-bit quantile where either is
// too close to call). The level is taken as written in decimal: the
// probability is formed from its digits exactly, so that 99.9 gives the
// quantile of 99.9 and not of the double nearest it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelmory {

// A number as its decimal text gives it: digits x 10^exponent, exactly.
struct ExactDecimal {
  std::string digits;  // without leading or trailing zeros; empty for 0
  int exponent = 0;
  bool negative = false;
  bool operator==(const ExactDecimal&) const = default;
};

// Blanks, an optional sign, digits with at most one `separator`, an optional
// exponent, blanks; with `percent`, one "%" may follow. Nothing otherwise.
std::optional<ExactDecimal> ReadExactDecimal(std::string_view text, char separator,
                                             bool percent = false);
// The shortest decimal that reads back as `value` (finite): the text that a
// box showing the double shows, 99.9 for the double nearest 99.9.
ExactDecimal ShortestDecimal(double value);

// Level strictly between 0 and 100; otherwise nothing.
std::optional<double> NormalCritical(const ExactDecimal& level_percent);
// Level strictly between 0 and 100 and df >= 1; otherwise nothing.
std::optional<double> StudentCritical(const ExactDecimal& level_percent, double df);
// The t value of a two-sided p: Student's t at 1 - p/2, for 0 < p < 1 and
// df >= 1; otherwise nothing.
std::optional<double> StudentTwoSidedP(const ExactDecimal& p, double df);

// The same for a level or p given as a double: taken as its shortest
// decimal, the text it was read from.
std::optional<double> NormalCritical(double level_percent);
std::optional<double> StudentCritical(double level_percent, double df);
std::optional<double> StudentTwoSidedP(double p, double df);

// A review repeats the same few (level, df) pairs over many rows, and one t
// quantile costs microseconds: a memo of fixed size (open addressing, emptied
// when half full) keeps the cost per row low without growing with the rows.
// Levels are keyed on their decimal digits, so equal texts share; a level of
// more than 19 digits is computed afresh.
class CriticalValueCache {
 public:
  std::optional<double> normal(const ExactDecimal& level_percent);
  std::optional<double> student(const ExactDecimal& level_percent, double df);

 private:
  // The level's digits as one integer (0 when they do not fit, which no
  // valid level gives) and its exponent.
  struct Key {
    std::uint64_t digits = 0;
    int exponent = 0;
    bool operator==(const Key&) const = default;
  };
  // digits 0 marks a free slot; a value of 0 a level and df without a
  // finite quantile.
  struct Entry {
    Key level;
    double df = 0, value = 0;
  };
  static constexpr int kSlotBits = 13;
  static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
  static Key KeyOf(const ExactDecimal& level);
  std::optional<double> Find(const ExactDecimal& level, Key key, double df, bool student);
  std::array<Entry, kSlots> entries_{};
  Entry last_normal_;  // the level seldom changes from row to row
  std::size_t used_ = 0;
};

// sd = sqrt(n) * (half / divisor): the quotient stored as a double first, as
// the window computes it.
double SdFromHalfWidth(double n, double half_width, double divisor);

// The same digits on every platform, where the C library's pow, log and
// Boost's quantiles in double differ in the last place from one system to
// the next. Each is remembered for its arguments, as a table repeats its n.
//
// The normal quantile z with P(Z > z) = tail, correctly rounded, for a tail
// below 1/2 (a positive z).
std::optional<double> UpperNormalQuantile(double tail);
// x^y, ln x and e^x, computed in 113 bits and rounded once.
double WidePow(double x, double y);
double WideLog(double x);
double WideExp(double x);

}  // namespace kelmory
