#include "engine/critical_values.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <unordered_map>

#include "engine/bit_cast.h"

namespace kelmory {
namespace {

// Errors come back as NaN or infinity instead of exceptions.
using Policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;
// A double estimate is computed in double: promoted, it would run in
// WebAssembly's software long double.
using DoublePolicy =
    boost::math::policies::normalise<Policy, boost::math::policies::promote_double<false>>::type;
template <class Real>
using PolicyFor = std::conditional_t<std::is_same_v<Real, double>, DoublePolicy, Policy>;
using Quad = boost::multiprecision::cpp_bin_float_quad;
using boost::multiprecision::cpp_int;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A probability, exactly.
struct Fraction {
  cpp_int num, den;
};

// Past this many digits a level or p moves its probability by less than
// 1e-58 of itself, far below what 113 bits resolve: the rest are dropped, so
// that a cell of a million digits costs no more than one of sixty.
constexpr std::size_t kKeptDigits = 60;
// A level of more nines than this has a tail beyond every wide type's range.
constexpr std::size_t kMostNines = 1000;
// A level or p below 1e-400 has no quantile that a double holds.
constexpr long long kLeastMagnitude = -400;
// |exponent| beyond this: no number a double holds, and no power of ten
// worth building.
constexpr long long kMostExponent = 100000000;

// digits x 10^exponent, the digits cut to `keep`.
Fraction AsFraction(const ExactDecimal& decimal, std::size_t keep) {
  keep = std::min(keep, decimal.digits.size());
  const long long exponent =
      decimal.exponent + static_cast<long long>(decimal.digits.size() - keep);
  Fraction f{cpp_int(decimal.digits.substr(0, keep).c_str()), 1};
  const cpp_int power = boost::multiprecision::pow(
      cpp_int(10), static_cast<unsigned>(exponent < 0 ? -exponent : exponent));
  if (exponent >= 0) {
    f.num *= power;
  } else {
    f.den = power;
  }
  return f;
}

// The number of digits before the decimal point (0 for 0.5, -1 for 0.05).
long long Magnitude(const ExactDecimal& decimal) {
  return static_cast<long long>(decimal.digits.size()) + decimal.exponent;
}

// (100 - level) / 200, the upper tail of a level in (0, 100), rather than
// (1 + level/100) / 2: the same probability without the rounding of 1 + x
// near 1 at high levels.
std::optional<Fraction> LevelTail(const ExactDecimal& level) {
  if (level.negative || level.digits.empty() || Magnitude(level) > 2 ||
      Magnitude(level) < kLeastMagnitude)
    return std::nullopt;
  // 100 - level cancels the level's leading nines: keep that many more.
  const std::size_t nines = std::min(level.digits.find_first_not_of('9'), level.digits.size());
  if (nines > kMostNines) return std::nullopt;
  const Fraction f = AsFraction(level, nines + kKeptDigits);
  Fraction tail{100 * f.den - f.num, 200 * f.den};
  if (tail.num <= 0) return std::nullopt;
  return tail;
}

// p / 2 for 0 < p < 1.
std::optional<Fraction> PTail(const ExactDecimal& p) {
  if (p.negative || p.digits.empty() || Magnitude(p) > 0 || Magnitude(p) < kLeastMagnitude)
    return std::nullopt;
  Fraction tail = AsFraction(p, kKeptDigits);
  tail.den *= 2;
  return tail;
}

// num / den (both positive) correctly rounded to Real, ties to even: the
// quotient to two more bits than Real holds, the remainder for the rest.
template <class Real>
Real RoundedQuotient(const Fraction& f) {
  using boost::multiprecision::msb;
  constexpr int kBits = std::numeric_limits<Real>::digits;
  const int shift = kBits + 1 - (static_cast<int>(msb(f.num)) - static_cast<int>(msb(f.den)));
  cpp_int q, r;
  if (shift >= 0) {
    boost::multiprecision::divide_qr(cpp_int(f.num << shift), f.den, q, r);
  } else {
    boost::multiprecision::divide_qr(f.num, cpp_int(f.den << -shift), q, r);
  }
  const int extra = static_cast<int>(msb(q)) + 1 - kBits;  // 1 or 2
  const cpp_int low = q & ((cpp_int(1) << extra) - 1), half = cpp_int(1) << (extra - 1);
  q >>= extra;
  if (low > half || (low == half && (r != 0 || boost::multiprecision::bit_test(q, 0)))) ++q;
  // q <= 2^kBits is exact in Real: built 32 bits at a time.
  Real value = 0;
  for (int bit = static_cast<int>(msb(q)) / 32 * 32; bit >= 0; bit -= 32) {
    value = value * Real(4294967296.0) +
            Real(static_cast<std::uint32_t>(static_cast<cpp_int>(q >> bit) & 0xFFFFFFFFu));
  }
  using std::ldexp;
  return ldexp(value, extra - shift);
}

// The two distributions, in the type of the zero they are given.
struct Normal {
  template <class Real>
  auto operator()(Real) const {
    return boost::math::normal_distribution<Real, PolicyFor<Real>>();
  }
  // d/dt log density at t.
  template <class Real>
  Real LogDensitySlope(Real t) const {
    return -t;
  }
};

struct Student {
  double df;
  template <class Real>
  auto operator()(Real) const {
    return boost::math::students_t_distribution<Real, PolicyFor<Real>>(Real(df));
  }
  template <class Real>
  Real LogDensitySlope(Real t) const {
    return -t * (df + 1) / (df + t * t);
  }
};

template <class Distribution, class Real>
Real UpperQuantile(const Distribution& distribution, Real tail) {
  return boost::math::quantile(boost::math::complement(distribution(Real(0)), tail));
}

// `wide` rounded to the nearest double, unless it lies within `margin` (its
// own error) of a point halfway between two doubles: then nothing, and the
// caller computes it again more closely.
template <class Real>
std::optional<double> RoundedIfClear(Real wide, Real margin) {
  const double rounded = static_cast<double>(wide);
  if (!std::isfinite(rounded) || !(rounded > 0)) return rounded;
  const Real up = std::nextafter(rounded, std::numeric_limits<double>::infinity());
  const Real down = std::nextafter(rounded, 0.0);
  // Exact in Real: two doubles' sum needs one bit more than a double.
  const Real mid_up = (Real(rounded) + up) / 2;
  const Real mid_down = (Real(rounded) + down) / 2;
  if (!(mid_down + margin < wide && wide < mid_up - margin)) return std::nullopt;
  return rounded;
}

// A quantile in long double has 11 bits more than a double. Boost's long
// double quantiles were measured within 11 units of long double's epsilon (5
// at the usual levels): 32 leaves room, and sends about one value in twenty
// to the 113-bit path.
constexpr long double kLongDoubleUlps = 32;

// Boost's 113-bit quantile inverts its distribution function by iterating,
// and each step costs as much as one value of the function: where long
// double cannot be used, the double quantile, an estimate good to a few
// units in the last place, is corrected instead by one Halley step on the
// upper tail computed in 113 bits. The step's error is then that tail's,
// which Boost holds within some hundreds of 113-bit epsilons: a margin of
// 2^-80 of the quantile (or of tail / density, the scale at which a tail's
// error moves it) is millions of times that, and it still leaves all but
// about one value in 10^8 clear of a halfway point.
template <class Distribution>
std::optional<double> Refined(const Fraction& exact_tail, const Distribution& distribution) {
  const double tail = RoundedQuotient<double>(exact_tail);
  if (!(tail >= std::numeric_limits<double>::min())) return std::nullopt;
  const double estimate = UpperQuantile(distribution, tail);
  if (!std::isfinite(estimate) || !(estimate > 0)) return std::nullopt;
  // The density only scales a step of about 2^-52 of the quantile: a
  // double's is close enough.
  const double density = boost::math::pdf(distribution(0.0), estimate);
  if (!(density >= std::numeric_limits<double>::min()) || !std::isfinite(density))
    return std::nullopt;
  const Quad t = estimate;
  const Quad excess = boost::math::cdf(boost::math::complement(distribution(Quad(0)), t)) -
                      RoundedQuotient<Quad>(exact_tail);
  const Quad newton = excess / density;
  // An estimate this far off is no estimate to correct.
  if (!(abs(newton) <= ldexp(t, -40))) return std::nullopt;
  const Quad refined = t + newton / (1 + newton * distribution.LogDensitySlope(t) / 2);
  const Quad scale = std::max(t, Quad(tail / density));
  // The density's own error, a few of a double's units, moves the step by
  // that much of itself.
  const Quad margin = ldexp(scale, -80) + ldexp(abs(newton), -40);
  return RoundedIfClear(refined, margin);
}

std::optional<double> Finite(double value) {
  if (!std::isfinite(value) || !(value > 0)) return std::nullopt;
  return value;
}

// The error bound above was measured for x87's 64-bit long double. Where
// long double is only a double (MSVC, arm64 macOS) it cannot tell a close
// call, and where it is a 113-bit quad (WebAssembly) the C library's long
// double functions are only a double's: every quantile is then refined in
// Boost.Multiprecision's 113 bits. The tests force that path with
// KELMORY_CRITICAL_VALUES_IN_QUAD.
#if defined(KELMORY_CRITICAL_VALUES_IN_QUAD)
constexpr bool kQuadOnly = true;
#else
constexpr bool kQuadOnly = std::numeric_limits<long double>::digits != 64;
#endif

// The upper-tail quantile of `distribution` at `tail`, correctly rounded:
// in long double or refined in 113 bits first, and by Boost's 113-bit
// quantile when that is too close to call.
template <class Distribution>
std::optional<double> CorrectlyRounded(const std::optional<Fraction>& tail,
                                       const Distribution& distribution) {
  if (!tail) return std::nullopt;
  if constexpr (!kQuadOnly) {
    const long double wide = UpperQuantile(distribution, RoundedQuotient<long double>(*tail));
    if (const auto value = RoundedIfClear(
            wide, kLongDoubleUlps * std::numeric_limits<long double>::epsilon() * wide))
      return Finite(*value);
  } else {
    if (const auto value = Refined(*tail, distribution)) return Finite(*value);
  }
  return Finite(static_cast<double>(UpperQuantile(distribution, RoundedQuotient<Quad>(*tail))));
}

bool ValidDf(double df) { return df >= 1 && std::isfinite(df); }

// The decimal of the whole number `whole` x 10^exponent, normalized.
ExactDecimal Normalized(std::string digits, long long exponent, bool negative) {
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  digits.erase(0, first);
  std::size_t end = digits.size();
  while (end > 0 && digits[end - 1] == '0') --end;
  exponent += static_cast<long long>(digits.size() - end);
  digits.resize(end);
  if (digits.empty()) return {{}, 0, negative};
  return {std::move(digits), static_cast<int>(exponent), negative};
}

double NearestDouble(const ExactDecimal& decimal) {
  return RoundedQuotient<double>(AsFraction(decimal, decimal.digits.size()));
}

std::size_t Slot(std::uint64_t digits, int exponent, double df, int bits) {
  const std::uint64_t h = (digits + static_cast<std::uint64_t>(exponent) * 0x94D049BB133111EBULL) *
                              0x9E3779B97F4A7C15ULL ^
                          BitCast<std::uint64_t>(df) * 0xBF58476D1CE4E5B9ULL;
  return static_cast<std::size_t>(h >> (64 - bits));
}

}  // namespace

std::optional<ExactDecimal> ReadExactDecimal(std::string_view text, char separator, bool percent) {
  const auto trim = [](std::string_view t) {
    while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
    return t;
  };
  std::string_view body = trim(text);
  if (percent && !body.empty() && body.back() == '%') body = trim(body.substr(0, body.size() - 1));
  std::size_t i = 0;
  const bool negative = !body.empty() && body[0] == '-';
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) ++i;
  std::string digits;
  long long decimals = 0;
  bool digit = false, point = false;
  for (; i < body.size(); ++i) {
    const char c = body[i];
    if (IsDigit(c)) {
      digit = true;
      if (!digits.empty() || c != '0') digits.push_back(c);
      decimals += point;
    } else if (c == separator && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digit) return std::nullopt;
  long long exponent = 0;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    const bool minus = i < body.size() && body[i] == '-';
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    if (i == body.size() || !IsDigit(body[i])) return std::nullopt;
    for (; i < body.size() && IsDigit(body[i]); ++i)
      exponent = std::min(exponent * 10 + (body[i] - '0'), 10 * kMostExponent);
    if (minus) exponent = -exponent;
  }
  if (i != body.size()) return std::nullopt;
  // Counted digits, not kept ones: "0.05" is 5 x 10^-2.
  exponent -= decimals;
  if (std::llabs(exponent) > kMostExponent) return std::nullopt;
  return Normalized(std::move(digits), exponent, negative);
}

ExactDecimal ShortestDecimal(double value) {
  if (!std::isfinite(value) || value == 0) return {{}, 0, std::signbit(value)};
  const bool negative = value < 0;
  const double a = std::fabs(value);
  // The common case, such as a level box's 99.9: the fewest decimals k for
  // which a * 10^k is a whole number that reads back as a. The product's
  // error is far below 1/2 there, so that number is the nearest one.
  double scale = 1;
  for (int k = 0; k <= 15; ++k, scale *= 10) {
    const double scaled = a * scale;
    if (scaled >= 0x1p50) break;
    if (scaled == std::floor(scaled) && scaled / scale == a)
      return Normalized(std::to_string(static_cast<std::uint64_t>(scaled)), -k, negative);
  }
  // Otherwise from the double's exact decimal expansion m x 2^e, rounded to
  // ever more digits until it reads back.
  int e = 0;
  const auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(a, &e), 53));
  e -= 53;
  cpp_int whole = m;
  long long exponent = 0;
  if (e >= 0) {
    whole <<= e;
  } else {
    whole *= boost::multiprecision::pow(cpp_int(5), static_cast<unsigned>(-e));
    exponent = e;
  }
  const std::string exact = whole.str();
  if (a < std::numeric_limits<double>::min()) return Normalized(exact, exponent, negative);
  for (std::size_t digits = 1; digits < exact.size() && digits <= 17; ++digits) {
    // Rounded half up to `digits`: the nearest decimal of that length.
    cpp_int head(exact.substr(0, digits).c_str());
    if (exact[digits] >= '5') ++head;
    ExactDecimal candidate =
        Normalized(head.str(), exponent + static_cast<long long>(exact.size() - digits), false);
    if (NearestDouble(candidate) == a) {
      candidate.negative = negative;
      return candidate;
    }
  }
  return Normalized(exact, exponent, negative);
}

std::optional<double> NormalCritical(const ExactDecimal& level_percent) {
  return CorrectlyRounded(LevelTail(level_percent), Normal{});
}

std::optional<double> StudentCritical(const ExactDecimal& level_percent, double df) {
  if (!ValidDf(df)) return std::nullopt;
  return CorrectlyRounded(LevelTail(level_percent), Student{df});
}

std::optional<double> StudentTwoSidedP(const ExactDecimal& p, double df) {
  if (!ValidDf(df)) return std::nullopt;
  return CorrectlyRounded(PTail(p), Student{df});
}

std::optional<double> NormalCritical(double level_percent) {
  if (!(level_percent > 0 && level_percent < 100)) return std::nullopt;
  return NormalCritical(ShortestDecimal(level_percent));
}

std::optional<double> StudentCritical(double level_percent, double df) {
  if (!(level_percent > 0 && level_percent < 100)) return std::nullopt;
  return StudentCritical(ShortestDecimal(level_percent), df);
}

std::optional<double> StudentTwoSidedP(double p, double df) {
  if (!(p > 0 && p < 1)) return std::nullopt;
  return StudentTwoSidedP(ShortestDecimal(p), df);
}

CriticalValueCache::Key CriticalValueCache::KeyOf(const ExactDecimal& level) {
  if (level.negative || level.digits.empty() || level.digits.size() > 19) return {};
  std::uint64_t digits = 0;
  for (const char c : level.digits) digits = digits * 10 + static_cast<unsigned>(c - '0');
  return {digits, level.exponent};
}

std::optional<double> CriticalValueCache::normal(const ExactDecimal& level_percent) {
  const Key key = KeyOf(level_percent);
  if (key.digits == 0) return NormalCritical(level_percent);
  if (!(key == last_normal_.level)) {
    last_normal_ = {key, 0, Find(level_percent, key, 0, false).value_or(0)};
  }
  if (last_normal_.value == 0) return std::nullopt;
  return last_normal_.value;
}

std::optional<double> CriticalValueCache::student(const ExactDecimal& level_percent, double df) {
  if (!ValidDf(df)) return std::nullopt;
  const Key key = KeyOf(level_percent);
  if (key.digits == 0) return StudentCritical(level_percent, df);
  return Find(level_percent, key, df, true);
}

std::optional<double> CriticalValueCache::Find(const ExactDecimal& level, Key key, double df,
                                               bool student) {
  std::size_t slot = Slot(key.digits, key.exponent, df, kSlotBits);
  for (; entries_[slot].level.digits != 0; slot = (slot + 1) % kSlots) {
    const Entry& entry = entries_[slot];
    if (entry.level == key && entry.df == df) {
      if (entry.value == 0) return std::nullopt;
      return entry.value;
    }
  }
  if (used_ >= kSlots / 2) {
    entries_.fill({});
    used_ = 0;
    slot = Slot(key.digits, key.exponent, df, kSlotBits);
  }
  // Runs in one thread share what they have computed: a table of many
  // short runs (the review window, the fuzzer) then pays once a pair.
  struct Shared {
    Key level;
    double df = 0, value = 0;
    bool student = false;
  };
  // Room for the hundreds of distinct n a review holds.
  constexpr int kSharedBits = 12;
  thread_local std::array<Shared, std::size_t{1} << kSharedBits> shared{};
  Shared& memo = shared[Slot(key.digits, key.exponent, df, kSharedBits)];
  if (!(memo.level == key) || memo.df != df || memo.student != student) {
    const std::optional<double> fresh =
        student ? StudentCritical(level, df) : NormalCritical(level);
    memo = {key, df, fresh.value_or(0), student};
  }
  const std::optional<double> value =
      memo.value == 0 ? std::nullopt : std::optional<double>(memo.value);
  entries_[slot] = {key, df, value.value_or(0)};
  ++used_;
  return value;
}

namespace {

// Results by their arguments' bits. A table's rows take turns among their
// n, so entries must not evict each other: a map, emptied when it grows
// past what any review holds.
struct Memo {
  struct Key {
    std::uint64_t x, y;
    bool operator==(const Key&) const = default;
  };
  struct Hash {
    std::size_t operator()(const Key& key) const {
      return static_cast<std::size_t>((key.x * 0x9E3779B97F4A7C15ULL) ^
                                      (key.y * 0xBF58476D1CE4E5B9ULL));
    }
  };
  std::unordered_map<Key, double, Hash> values;
  template <class Compute>
  double Find(double x, double y, Compute compute) {
    const Key key{BitCast<std::uint64_t>(x), BitCast<std::uint64_t>(y)};
    if (const auto found = values.find(key); found != values.end()) return found->second;
    if (values.size() >= (std::size_t{1} << 16)) values.clear();
    const double value = compute();
    values.emplace(key, value);
    return value;
  }
};

}  // namespace

std::optional<double> UpperNormalQuantile(double tail) {
  if (!(tail > 0 && tail < 1)) return std::nullopt;
  thread_local Memo memo;
  const double value = memo.Find(tail, 0, [tail] {
    // The double exactly: its 53-bit significand over a power of two.
    int exponent = 0;
    const double significand = std::frexp(tail, &exponent);
    const Fraction exact{cpp_int(static_cast<std::uint64_t>(std::ldexp(significand, 53))),
                         cpp_int(1) << (53 - exponent)};
    return CorrectlyRounded(std::optional<Fraction>(exact), Normal{})
        .value_or(std::numeric_limits<double>::quiet_NaN());
  });
  if (std::isnan(value)) return std::nullopt;
  return value;
}

double WidePow(double x, double y) {
  thread_local Memo memo;
  return memo.Find(x, y, [x, y] { return static_cast<double>(pow(Quad(x), Quad(y))); });
}

double WideLog(double x) {
  if (!(x > 0)) return std::log(x);  // NaN or -infinity, as the C library gives
  thread_local Memo memo;
  return memo.Find(x, 0, [x] { return static_cast<double>(log(Quad(x))); });
}

double WideExp(double x) {
  if (std::isnan(x)) return x;
  thread_local Memo memo;
  return memo.Find(x, 0, [x] { return static_cast<double>(exp(Quad(x))); });
}

double SdFromHalfWidth(double n, double half_width, double divisor) {
  const double se = half_width / divisor;  // stored: one rounding
  return std::sqrt(n) * se;
}

}  // namespace kelmory
