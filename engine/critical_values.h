#pragma once
// Two-sided critical values of a confidence level given in percent: the
// normal and Student's t quantiles at (1 + level/100)/2, correctly rounded to
// double (computed in long double, or in 113 bits where that is too close to
// call).

#include <array>
#include <optional>

namespace kelmory {

// Level strictly between 0 and 100; otherwise nothing.
std::optional<double> NormalCritical(double level_percent);
// Level strictly between 0 and 100 and df >= 1; otherwise nothing.
std::optional<double> StudentCritical(double level_percent, double df);
// The t value of a two-sided p: Student's t at 1 - p/2, for 0 < p < 1 and
// df >= 1; otherwise nothing.
std::optional<double> StudentTwoSidedP(double p, double df);

// A review repeats the same few (level, df) pairs over many rows, and one t
// quantile costs microseconds: a memo of fixed size (open addressing, emptied
// when half full) keeps the cost per row low without growing with the rows.
class CriticalValueCache {
 public:
  std::optional<double> normal(double level_percent);
  std::optional<double> student(double level_percent, double df);

 private:
  // A level of 0 marks a free slot (no valid level is 0); a value of 0 a
  // level and df without a finite quantile.
  struct Entry {
    double level = 0, df = 0, value = 0;
  };
  static constexpr int kSlotBits = 13;
  static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
  std::optional<double> Find(double level, double df, bool student);
  std::array<Entry, kSlots> entries_{};
  Entry last_normal_;  // the level seldom changes from row to row
  std::size_t used_ = 0;
};

// sd = sqrt(n) * (half / divisor): the quotient stored as a double first, as
// the window computes it.
double SdFromHalfWidth(double n, double half_width, double divisor);

}  // namespace kelmory
