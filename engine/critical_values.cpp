#include "engine/critical_values.h"

#include <bit>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <cstdint>

namespace kelmory {
namespace {

// Errors come back as NaN or infinity instead of exceptions.
using Policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

bool ValidLevel(double level) { return level > 0 && level < 100; }

// The upper tail (100 - level) / 200 rather than (1 + level/100) / 2: the
// same probability, without the rounding of 1 + x near 1 at high levels.
double UpperTail(double level) { return (100 - level) / 200; }

std::optional<double> Finite(double value) {
  if (!std::isfinite(value) || !(value > 0)) return std::nullopt;
  return value;
}

std::size_t Slot(double level, double df, std::size_t slots) {
  std::uint64_t h = std::bit_cast<std::uint64_t>(level) * 0x9E3779B97F4A7C15ULL;
  h ^= std::bit_cast<std::uint64_t>(df) + (h >> 29);
  h *= 0xBF58476D1CE4E5B9ULL;
  return static_cast<std::size_t>(h >> 40) % slots;
}

}  // namespace

std::optional<double> NormalCritical(double level_percent) {
  if (!ValidLevel(level_percent)) return std::nullopt;
  const boost::math::normal_distribution<double, Policy> normal;
  return Finite(boost::math::quantile(boost::math::complement(normal, UpperTail(level_percent))));
}

std::optional<double> StudentCritical(double level_percent, double df) {
  if (!ValidLevel(level_percent) || !(df >= 1) || !std::isfinite(df)) return std::nullopt;
  const boost::math::students_t_distribution<double, Policy> student(df);
  return Finite(boost::math::quantile(boost::math::complement(student, UpperTail(level_percent))));
}

std::optional<double> CriticalValueCache::normal(double level_percent) {
  Entry& entry = normal_[Slot(level_percent, 0, normal_.size())];
  if (entry.level != level_percent) entry = {level_percent, 0, NormalCritical(level_percent)};
  return entry.value;
}

std::optional<double> CriticalValueCache::student(double level_percent, double df) {
  Entry& entry = student_[Slot(level_percent, df, student_.size())];
  if (entry.level != level_percent || entry.df != df) {
    entry = {level_percent, df, StudentCritical(level_percent, df)};
  }
  return entry.value;
}

double SdFromHalfWidth(double n, double half_width, double divisor) {
  const double se = half_width / divisor;  // stored: one rounding
  return std::sqrt(n) * se;
}

}  // namespace kelmory
