#include "table/shortest_text.h"

#include <fmt/format.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kelmory::batch {
namespace {

constexpr std::uint64_t kPowers[] = {1ULL,
                                     10ULL,
                                     100ULL,
                                     1000ULL,
                                     10000ULL,
                                     100000ULL,
                                     1000000ULL,
                                     10000000ULL,
                                     100000000ULL,
                                     1000000000ULL,
                                     10000000000ULL,
                                     100000000000ULL,
                                     1000000000000ULL,
                                     10000000000000ULL,
                                     100000000000000ULL,
                                     1000000000000000ULL,
                                     10000000000000000ULL,
                                     100000000000000000ULL,
                                     1000000000000000000ULL,
                                     10000000000000000000ULL};

// log10 from the bit length (1233 / 4096 ~ log10 2), corrected by one
// comparison.
int DigitCount(std::uint64_t n) {
  const int guess = static_cast<int>(std::bit_width(n | 1) * 1233 >> 12);
  return guess + (n >= kPowers[guess]);
}

// "00" to "99": two digits a division.
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly eight digits of n < 10^8, in 32-bit arithmetic.
void WriteEight(char* out, std::uint32_t n) {
  const std::uint32_t high = n / 10000, low = n % 10000;
  std::memcpy(out, kPairs + 2 * (high / 100), 2);
  std::memcpy(out + 2, kPairs + 2 * (high % 100), 2);
  std::memcpy(out + 4, kPairs + 2 * (low / 100), 2);
  std::memcpy(out + 6, kPairs + 2 * (low % 100), 2);
}

// The digits of n, ending at `end`.
void WriteDigits(char* end, std::uint64_t n) {
  // Eight at a time from the right: the halves do not wait on each other.
  while (n >= 100000000) {
    end -= 8;
    WriteEight(end, static_cast<std::uint32_t>(n % 100000000));
    n /= 100000000;
  }
  auto small = static_cast<std::uint32_t>(n);
  while (small >= 100) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (small % 100), 2);
    small /= 100;
  }
  if (small >= 10) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * small, 2);
  } else {
    *--end = static_cast<char>('0' + small);
  }
}

}  // namespace

char* WriteShortest(char* out, double value) {
  if (value == 0) {
    if (std::signbit(value)) *out++ = '-';
    *out++ = '0';
    return out;
  }
  if (value < 0) {
    *out++ = '-';
    value = -value;
  }
  // libfmt's Dragonbox, built in from its headers so that it inlines: the
  // shortest digits and their exponent, value = significand * 10^exponent.
  const auto decimal = fmt::detail::dragonbox::to_decimal(value);
  char digits[20];
  const int n = DigitCount(decimal.significand);
  WriteDigits(digits + n, decimal.significand);
  const int e = decimal.exponent;
  const int sci_exponent = e + n - 1;
  const int magnitude = sci_exponent < 0 ? -sci_exponent : sci_exponent;
  const int sci_length = n + (n > 1) + 2 + (magnitude >= 100 ? 3 : 2);
  const int fixed_length = e >= 0 ? n + e : (n + e > 0 ? n + 1 : 2 - e);
  if (fixed_length <= sci_length) {
    // Whole numbers past 2^53 are written with all their exact digits.
    if (e > 0) return fmt::format_to_n(out, kShortestTextRoom, "{:.0f}", value).out;
    if (e == 0) {
      std::memcpy(out, digits, n);
      return out + n;
    }
    if (n + e > 0) {
      std::memcpy(out, digits, n + e);
      out += n + e;
      *out++ = '.';
      std::memcpy(out, digits + n + e, -e);
      return out - e;
    }
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', -e - n);
    out += -e - n;
    std::memcpy(out, digits, n);
    return out + n;
  }
  *out++ = digits[0];
  if (n > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, n - 1);
    out += n - 1;
  }
  *out++ = 'e';
  *out++ = sci_exponent < 0 ? '-' : '+';
  if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
  *out++ = static_cast<char>('0' + magnitude / 10 % 10);
  *out++ = static_cast<char>('0' + magnitude % 10);
  return out;
}

}  // namespace kelmory::batch
