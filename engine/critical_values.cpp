#include "engine/critical_values.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/bit_cast.h"

namespace kelmory {
namespace {

// Errors come back as NaN or infinity instead of exceptions.
using Policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;
using Quad = boost::multiprecision::cpp_bin_float_quad;

bool ValidLevel(double level) { return level > 0 && level < 100; }

// The upper tail (100 - level) / 200 rather than (1 + level/100) / 2: the
// same probability, without the rounding of 1 + x near 1 at high levels. It
// is formed in the wide type, so that 95 gives 0.025 to that type's
// precision, not the double nearest 0.025.
template <class Real>
Real UpperTail(double level) {
  return (Real(100) - Real(level)) / Real(200);
}

template <class Real>
Real NormalQuantile(double level) {
  const boost::math::normal_distribution<Real, Policy> normal;
  return boost::math::quantile(boost::math::complement(normal, UpperTail<Real>(level)));
}

template <class Real>
Real StudentUpper(Real tail, double df) {
  const boost::math::students_t_distribution<Real, Policy> student{Real(df)};
  return boost::math::quantile(boost::math::complement(student, tail));
}

template <class Real>
Real StudentQuantile(double level, double df) {
  return StudentUpper(UpperTail<Real>(level), df);
}

// A quantile in long double has 11 bits more than a double: rounded once, it
// is the correctly rounded double unless it lies within its own error of a
// point halfway between two doubles. Then nothing, and the caller computes
// it again in 113 bits.
// Boost's long double quantiles were measured within 11 units of long
// double's epsilon (5 at the usual levels): 32 leaves room, and sends about
// one value in twenty to the 113-bit path.
constexpr long double kLongDoubleUlps = 32;
std::optional<double> RoundedIfClear(long double wide) {
  const double rounded = static_cast<double>(wide);
  if (!std::isfinite(rounded) || !(rounded > 0)) return rounded;
  const long double up = std::nextafter(rounded, std::numeric_limits<double>::infinity());
  const long double down = std::nextafter(rounded, 0.0);
  const long double mid_up = (static_cast<long double>(rounded) + up) / 2;
  const long double mid_down = (static_cast<long double>(rounded) + down) / 2;
  const long double margin = kLongDoubleUlps * std::numeric_limits<long double>::epsilon() * wide;
  if (std::fabs(wide - mid_up) <= margin || std::fabs(wide - mid_down) <= margin)
    return std::nullopt;
  return rounded;
}

std::optional<double> Finite(double value) {
  if (!std::isfinite(value) || !(value > 0)) return std::nullopt;
  return value;
}

// The error bound above was measured for x87's 64-bit long double. Where
// long double is only a double (MSVC, arm64 macOS) it cannot tell a close
// call, and where it is a 113-bit quad (WebAssembly) Boost's quantiles in
// it were seen off by more than the bound: every quantile is then computed
// in Boost.Multiprecision's 113 bits. The tests force that path with
// KELMORY_CRITICAL_VALUES_IN_QUAD.
#if defined(KELMORY_CRITICAL_VALUES_IN_QUAD)
constexpr bool kQuadOnly = true;
#else
constexpr bool kQuadOnly = std::numeric_limits<long double>::digits != 64;
#endif

// `quantile(wide)` computes in the type of `wide`: in long double first, in
// 113 bits when that is too close to call.
template <class Quantile>
std::optional<double> CorrectlyRounded(Quantile quantile) {
  if constexpr (!kQuadOnly) {
    if (const auto value = RoundedIfClear(quantile(0.0L))) return Finite(*value);
  }
  return Finite(static_cast<double>(quantile(Quad(0))));
}

std::size_t Slot(double level, double df, int bits) {
  const std::uint64_t h = BitCast<std::uint64_t>(level) * 0x9E3779B97F4A7C15ULL ^
                          BitCast<std::uint64_t>(df) * 0xBF58476D1CE4E5B9ULL;
  return static_cast<std::size_t>(h >> (64 - bits));
}

}  // namespace

std::optional<double> NormalCritical(double level_percent) {
  if (!ValidLevel(level_percent)) return std::nullopt;
  return CorrectlyRounded([&](auto wide) { return NormalQuantile<decltype(wide)>(level_percent); });
}

std::optional<double> StudentCritical(double level_percent, double df) {
  if (!ValidLevel(level_percent) || !(df >= 1) || !std::isfinite(df)) return std::nullopt;
  return CorrectlyRounded(
      [&](auto wide) { return StudentQuantile<decltype(wide)>(level_percent, df); });
}

std::optional<double> StudentTwoSidedP(double p, double df) {
  if (!(p > 0 && p < 1) || !(df >= 1) || !std::isfinite(df)) return std::nullopt;
  return CorrectlyRounded([&](auto wide) { return StudentUpper(decltype(wide)(p) / 2, df); });
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
  // Runs in one thread share what they have computed: a table of many
  // short runs (the review window, the fuzzer) then pays once a pair.
  struct Shared {
    double level = 0, df = 0, value = 0;
    bool student = false;
  };
  // Room for the hundreds of distinct n a review holds.
  constexpr int kSharedBits = 12;
  thread_local std::array<Shared, std::size_t{1} << kSharedBits> shared{};
  Shared& memo = shared[Slot(level, df, kSharedBits)];
  if (memo.level != level || memo.df != df || memo.student != student) {
    const std::optional<double> fresh =
        student ? StudentCritical(level, df) : NormalCritical(level);
    memo = {level, df, fresh.value_or(0), student};
  }
  const std::optional<double> value =
      memo.value == 0 ? std::nullopt : std::optional<double>(memo.value);
  entries_[slot] = {level, df, value.value_or(0)};
  ++used_;
  return value;
}

double SdFromHalfWidth(double n, double half_width, double divisor) {
  const double se = half_width / divisor;  // stored: one rounding
  return std::sqrt(n) * se;
}

}  // namespace kelmory
