#include "engine/number_text.h"

#include <fast_float/fast_float.h>
#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/scratch_chars.h"

namespace kelmory {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// 10^22 is the largest power of ten a double holds exactly; 10^308 the
// largest it holds at all.
constexpr int kExactPowersOfTen = 22;
constexpr int kLargestPowerOfTen = 308;
// Fraction digits that write any double's exact decimal expansion in full.
constexpr int kExactDigits = 767;

// The double nearest 10^exponent, for 0 <= exponent <= 308.
double PowerOfTen(int exponent) {
  if (exponent <= kExactPowersOfTen) {
    double power = 1;
    for (int k = 0; k < exponent; ++k) power *= 10;
    return power;
  }
  // Read from its text, correctly rounded, rather than multiplied up with a
  // rounding error at every step.
  std::array<char, 8> text{'1', 'e'};
  const auto end = std::to_chars(text.data() + 2, text.data() + text.size(), exponent).ptr;
  double power = 0;
  fast_float::from_chars(text.data(), end, power);
  return power;
}

// Converts text that has already been checked to be digits with at most one
// '.' (and at least one digit). Out of range on the large side gives nothing;
// a positive value below half the smallest subnormal is the nearest double, 0.
std::optional<double> ConvertChecked(const char* first, const char* last) {
  double value = 0;
  const auto [ptr, ec] =
      fast_float::from_chars(first, last, value, fast_float::chars_format::fixed);
  // Overflow reads as infinity; total underflow as 0, the nearest double.
  if (ec != std::errc{} || ptr != last || std::isinf(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text, const NumberLocale& locale) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  const std::string_view body = text.substr(begin, end - begin);
  const std::string_view separator = locale.decimal_separator;

  // One pass: check the form and, where the locale's separator is not the
  // point, write the text with a point in its place.
  const ScratchChars scratch(body.size());
  char* out = scratch.data();
  char* const out_begin = out;

  bool seen_separator = false;
  bool seen_digit = false;
  std::size_t i = 0;
  while (i < body.size()) {
    const char c = body[i];
    if (IsDigit(c)) {
      seen_digit = true;
      *out++ = c;
      ++i;
      continue;
    }
    std::size_t width = 0;
    if (!separator.empty() && body.substr(i, separator.size()) == separator) {
      width = separator.size();
    } else if (c == '.') {
      width = 1;
    } else {
      return std::nullopt;
    }
    if (seen_separator) return std::nullopt;
    seen_separator = true;
    *out++ = '.';
    i += width;
  }
  if (!seen_digit) return std::nullopt;
  return ConvertChecked(out_begin, out);
}

void AppendNumberText(std::string& text, double value, const NumberLocale& locale) {
  if (std::isnan(value)) {
    text.append("NaN");
    return;
  }
  if (std::isinf(value)) {
    text.append(value < 0 ? "-Infinity" : "Infinity");
    return;
  }
  if (value == 0) {  // also -0
    text.push_back('0');
    return;
  }

  // The correctly rounded 15 significant digits of the exact double, ties to
  // even: "-d.dddddddddddddde-XXX" at the longest.
  std::array<char, 32> buf{};
  const auto res = fmt::format_to_n(buf.data(), buf.size(), "{:.14e}", value);
  const char* p = buf.data();
  const bool negative = *p == '-';
  if (negative) ++p;

  std::array<char, 15> digits{};
  std::size_t count = 0;
  digits[count++] = *p++;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p) && count < digits.size()) digits[count++] = *p++;
  }
  ++p;  // 'e'
  const bool negative_exponent = *p == '-';
  ++p;
  int exponent = 0;
  for (; p != res.out; ++p) exponent = exponent * 10 + (*p - '0');
  if (negative_exponent) exponent = -exponent;

  // Trailing zeros go; the separator goes with them when no digit is left.
  while (count > 1 && digits[count - 1] == '0') --count;

  // The text is a head (sign and whole part, or the mantissa's first digit),
  // then, when there is a fraction, the separator and the fraction digits,
  // then the exponent part if any.
  std::array<char, 24> head{};
  std::size_t head_size = 0;
  std::array<char, 24> fraction{};
  std::size_t fraction_size = 0;
  std::array<char, 8> tail{};
  std::size_t tail_size = 0;
  if (negative) head[head_size++] = '-';

  if (exponent >= -4 && exponent < 15) {
    // Plain notation from 0.0001 up to below 10^15, judged on the rounded value.
    if (exponent >= 0) {
      const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
      for (std::size_t k = 0; k < whole; ++k) head[head_size++] = k < count ? digits[k] : '0';
      for (std::size_t k = whole; k < count; ++k) fraction[fraction_size++] = digits[k];
    } else {
      head[head_size++] = '0';
      for (int k = exponent + 1; k < 0; ++k) fraction[fraction_size++] = '0';
      for (std::size_t k = 0; k < count; ++k) fraction[fraction_size++] = digits[k];
    }
  } else {
    // Exponent notation: the mantissa, E, the sign, at least two digits.
    head[head_size++] = digits[0];
    for (std::size_t k = 1; k < count; ++k) fraction[fraction_size++] = digits[k];
    tail[tail_size++] = 'E';
    tail[tail_size++] = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude >= 100) tail[tail_size++] = static_cast<char>('0' + magnitude / 100);
    tail[tail_size++] = static_cast<char>('0' + magnitude / 10 % 10);
    tail[tail_size++] = static_cast<char>('0' + magnitude % 10);
  }

  text.append(head.data(), head_size);
  if (fraction_size) {
    // An empty separator would run the whole and fraction digits together.
    text.append(locale.decimal_separator.empty() ? std::string_view(".")
                                                 : std::string_view(locale.decimal_separator));
    text.append(fraction.data(), fraction_size);
  }
  text.append(tail.data(), tail_size);
}

std::string NumberText(double value, const NumberLocale& locale) {
  std::string text;
  text.reserve(24 + locale.decimal_separator.size());
  AppendNumberText(text, value, locale);
  return text;
}

double RoundToPlaces(double value, int places) {
  if (!std::isfinite(value)) return value;
  // 10^places beyond the double range: step part of the way with an exact
  // power first, so that the product is in range.
  if (places > kLargestPowerOfTen) {
    const double step = PowerOfTen(kExactPowersOfTen);
    if (!std::isfinite(value * step)) return value;  // whole, as below
    return RoundToPlaces(value * step, places - kExactPowersOfTen) / step;
  }
  // 1. scale = 10^places, the double nearest it (exact up to 10^22; the
  // system's own 5 places are).
  const bool inverse = places < 0;
  const long long steps = inverse ? -static_cast<long long>(places) : places;
  if (steps > kLargestPowerOfTen) return inverse ? std::copysign(0.0, value) : value;
  const double scale = PowerOfTen(static_cast<int>(steps));
  // 2. One double multiplication (a division for negative places).
  const double scaled = inverse ? value / scale : value * scale;
  // A product beyond the double range: the value is then a whole number far
  // beyond 2^52, which rounding to places >= 0 cannot change.
  if (!std::isfinite(scaled)) return value;
  // 3. Whole part towards zero and the fraction (both exact).
  double whole = std::trunc(scaled);
  const double fraction = std::fabs(scaled - whole);
  // 4. Half to even, judged on the double product.
  const double away = scaled < 0 ? -1.0 : 1.0;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += away;
  // 5. One double division (a multiplication for negative places).
  return inverse ? whole * scale : whole / scale;
}

double RoundShown(double value) {
  constexpr int kPlaces = 5;
  constexpr int kSignificantDigits = 3;
  if (value == 0 || !std::isfinite(value) || std::fabs(value) >= 0.001)
    return RoundToPlaces(value, kPlaces);
  // Five places would leave a tiny value 0 or one digit. The exponent is
  // that of the exact decimal expansion: all of its digits are written, so
  // no rounding can carry into the next power of ten.
  std::array<char, 800> buf{};
  const auto res = fmt::format_to_n(buf.data(), buf.size(), "{:.{}e}", value, kExactDigits);
  const std::string_view text(buf.data(), static_cast<std::size_t>(res.out - buf.data()));
  int exponent = 0;
  const std::string_view exponent_text = text.substr(text.find('e') + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);
  return RoundToPlaces(value, kSignificantDigits - 1 - exponent);
}

}  // namespace kelmory
