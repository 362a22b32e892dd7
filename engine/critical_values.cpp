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

std::size_t Slot(double level, double df, int bits) {
  const std::uint64_t h = std::bit_cast<std::uint64_t>(level) * 0x9E3779B97F4A7C15ULL ^
                          std::bit_cast<std::uint64_t>(df) * 0xBF58476D1CE4E5B9ULL;
  return static_cast<std::size_t>(h >> (64 - bits));
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
  if (!ValidLevel(level_percent)) return std::nullopt;
  if (level_percent != last_normal_.level) {
    last_normal_ = {level_percent, 0, Find(level_percent, 0, false).value_or(0)};
  }
  if (last_normal_.value == 0) return std::nullopt;
  return last_normal_.value;
}

std::optional<double> CriticalValueCache::student(double level_percent, double df) {
  if (!ValidLevel(level_percent) || !(df >= 1) || !std::isfinite(df)) return std::nullopt;
  return Find(level_percent, df, true);
}

std::optional<double> CriticalValueCache::Find(double level, double df, bool student) {
  std::size_t slot = Slot(level, df, kSlotBits);
  for (; entries_[slot].level != 0; slot = (slot + 1) % kSlots) {
    const Entry& entry = entries_[slot];
    if (entry.level == level && entry.df == df) {
      if (entry.value == 0) return std::nullopt;
      return entry.value;
    }
  }
  if (used_ >= kSlots / 2) {
    entries_.fill({});
    used_ = 0;
    slot = Slot(level, df, kSlotBits);
  }
  const std::optional<double> value = student ? StudentCritical(level, df) : NormalCritical(level);
  entries_[slot] = {level, df, value.value_or(0)};
  ++used_;
  return value;
}

double SdFromHalfWidth(double n, double half_width, double divisor) {
  const double se = half_width / divisor;  // stored: one rounding
  return std::sqrt(n) * se;
}

}  // namespace kelmory
