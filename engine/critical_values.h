#pragma once
// Two-sided critical values of a confidence level given in percent: the
// normal and Student's t quantiles at (1 + level/100)/2.

#include <array>
#include <optional>

namespace kelmory {

// Level strictly between 0 and 100; otherwise nothing.
std::optional<double> NormalCritical(double level_percent);
// Level strictly between 0 and 100 and df >= 1; otherwise nothing.
std::optional<double> StudentCritical(double level_percent, double df);

// A review repeats the same few (level, df) pairs over many rows, and one t
// quantile costs microseconds: a fixed-size, direct-mapped memo keeps the
// cost per row low without growing with the number of rows.
class CriticalValueCache {
 public:
  std::optional<double> normal(double level_percent);
  std::optional<double> student(double level_percent, double df);

 private:
  struct Entry {
    double level = -1, df = -1;
    std::optional<double> value;
  };
  static constexpr std::size_t kSlots = 4096;
  std::array<Entry, kSlots> student_{};
  std::array<Entry, 64> normal_{};
};

// sd = sqrt(n) * (half / divisor): the quotient stored as a double first, as
// the window computes it.
double SdFromHalfWidth(double n, double half_width, double divisor);

}  // namespace kelmory
