// The fast number paths against independent references whose results they
// must give: the shortest-text writer against the C library's printf and
// strtod, and against std::to_chars where the standard library has it; the
// cell reader against strtod.

#include "table/shortest_text.h"
#include "rows/cell_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/bit_cast.h"

namespace kelmory::batch {
namespace {

std::string Ours(double value) {
  char text[kShortestTextRoom];
  return {text, WriteShortest(text, value)};
}

// The shortest text by another road, for every standard library: the C
// library's correctly rounded printf at the fewest significant digits that
// strtod reads back as the value, laid out as to_chars lays it out (fixed or
// scientific, whichever is shorter, fixed on a tie; a whole number in fixed
// with all its exact digits). Where the nearer neighbour of a power of two is
// below it, the next decimal on the far side may read back where the nearest
// does not.
std::string Reference(double value) {
  if (value == 0) return std::signbit(value) ? "-0" : "0";
  const double magnitude = std::fabs(value);
  const auto reads_back = [&](std::uint64_t d, int e) {
    const std::string text = std::to_string(d) + "e" + std::to_string(e);
    return std::strtod(text.c_str(), nullptr) == magnitude;
  };
  const auto nearest = [&](int p, int& e) {  // p digits d with magnitude ~ d * 10^e
    char text[40];
    std::snprintf(text, sizeof text, "%.*e", p - 1, magnitude);
    std::uint64_t d = 0;
    const char* c = text;
    for (; *c != 'e'; ++c) d = *c == '.' ? d : d * 10 + static_cast<unsigned>(*c - '0');
    e = std::atoi(c + 1) - (p - 1);
    return d;
  };
  const bool power_of_two = (BitCast<std::uint64_t>(magnitude) & ((1ULL << 52) - 1)) == 0;
  std::uint64_t d = 0;
  int e = 0, n = 17;
  if (!power_of_two) {
    // Elsewhere the nearest p digits read back for every p from the fewest on.
    int low = 1;
    while (low < n) {
      const int mid = (low + n) / 2;
      int mid_e = 0;
      const std::uint64_t mid_d = nearest(mid, mid_e);
      if (reads_back(mid_d, mid_e)) {
        n = mid;
      } else {
        low = mid + 1;
      }
    }
    d = nearest(n, e);
  } else {
    for (int p = 1; p <= 17; ++p) {
      d = nearest(p, e);
      n = p;
      if (reads_back(d, e)) break;
      const std::uint64_t other =
          std::strtod((std::to_string(d) + "e" + std::to_string(e)).c_str(), nullptr) < magnitude
              ? d + 1
              : d - 1;
      if (std::to_string(other).size() == static_cast<std::size_t>(p) && reads_back(other, e)) {
        d = other;
        break;
      }
    }
  }
  const std::string digits = std::to_string(d);
  const int exponent = e + n - 1, size = n;
  const int sci = size + (size > 1) + 2 + (std::abs(exponent) >= 100 ? 3 : 2);
  const int fixed = e >= 0 ? size + e : (size + e > 0 ? size + 1 : 2 - e);
  std::string text = value < 0 ? "-" : "";
  if (fixed <= sci) {
    char whole[400];
    std::snprintf(whole, sizeof whole, "%.0f", magnitude);
    if (e >= 0) return text + whole;
    if (size + e > 0) return text + digits.substr(0, size + e) + "." + digits.substr(size + e);
    return text + "0." + std::string(-e - size, '0') + digits;
  }
  text += digits.substr(0, 1);
  if (size > 1) text += "." + digits.substr(1);
  char tail[16];
  std::snprintf(tail, sizeof tail, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return text + tail;
}

// Even draws any bit pattern, odd ones short decimals of every size, as tables hold.
double RandomValue(std::mt19937_64& random, int i) {
  if (!(i % 2)) return BitCast<double>(random());
  return static_cast<double>(random() % 100000000) *
         std::pow(10.0, static_cast<double>(static_cast<int>(random() % 60) - 30));
}

TEST(ShortestText, IsTheFewestDigitsLaidOutAsToChars) {
  using limits = std::numeric_limits<double>;
  // clang-format off
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 1e-5, 1.2345e-5, 1e-4, 0.001, 123456.0,
                                1e15, 1e16, 1e17, 1e21, 1e22, 1e23, 9007199254740993.0, 5e-324,
                                limits::max(), limits::min(), -limits::max(), 2.5e-308, 1e100,
                                1.5e300, 3.4756232462406564, 12.649110640673518,
                                1234567890123456789.0, 120.0, 0.30000000000000004};
  // clang-format on
  for (int k = -1074; k <= 1023; ++k) values.push_back(std::ldexp(1.0, k));
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 300000; ++i)
    if (const double value = RandomValue(random, i); std::isfinite(value)) values.push_back(value);
  for (const double value : values)
    ASSERT_EQ(Ours(value), Reference(value)) << BitCast<std::uint64_t>(value);
}

// And byte for byte against std::to_chars itself where the library has it.
TEST(ShortestText, IsTheStandardLibrarysText) {
#if !KELMORY_HAVE_DOUBLE_TO_CHARS
  GTEST_SKIP() << "this standard library has no std::to_chars for double";
#else
  const auto Standard = [](double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
  };
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 2000000; ++i) {
    const double value = RandomValue(random, i);
    if (std::isfinite(value))
      ASSERT_EQ(Ours(value), Standard(value)) << BitCast<std::uint64_t>(value);
  }
#endif
}

// Up to 15 digits without an exponent are read by a path of their own,
// longer cells and exponents by fast_float: the edges of both, and random
// cells of every length, point position and exponent, against strtod in the
// C locale (no test calls setlocale), which is correctly rounded in glibc and
// musl alike. Overflow and total underflow are out of range.
TEST(CellNumbers, ReadAsStrtodReadsThem) {
  const auto reference = [](std::string text) -> CellNumber {
    std::replace(text.begin(), text.end(), ',', '.');
    const double value = std::strtod(text.c_str(), nullptr);
    const bool nonzero =
        text.substr(0, text.find_first_of("eE")).find_first_of("123456789") != std::string::npos;
    if (std::isinf(value) || (value == 0 && nonzero)) return {CellNumber::Kind::OutOfRange, 0};
    return {CellNumber::Kind::Number, value == 0 ? 0.0 : value};
  };
  // clang-format off
  std::vector<std::string> cells = {"0", "-0", "5.", ".5", "+2.5", "999999999999999",
                                    "0.000000000000001", "9007199254740993", "2.675", "1e308",
                                    "1.8e308", "-1e400", "4.9e-324", "2.4e-324", "2.5e-324",
                                    "1e-400", "0e99999", "2.2250738585072011e-308", "1E+2",
                                    "1" + std::string(400, '0'), "0." + std::string(330, '0') + "1",
                                    "9007199254740992.5", "9007199254740993.0000000000001"};
  // clang-format on
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 1000000; ++i) {
    std::string cell = std::to_string(random() % 10000000000000000ULL).substr(0, 1 + random() % 17);
    if (i % 8 == 0) cell += std::to_string(random() % 100000000000ULL);  // past 15 digits
    const std::size_t point = random() % (cell.size() + 2);
    if (point <= cell.size()) cell.insert(point, ".");
    if (i % 5 == 0) cell += (i % 2 ? "e" : "E-") + std::to_string(random() % 340);
    if (random() % 4 == 0) cell.insert(0, "-");
    cells.push_back(cell);
  }
  for (const std::string& cell : cells) {
    const CellNumber read = ParseCellNumber(cell, '.');
    const CellNumber expected = reference(cell);
    ASSERT_EQ(read.kind, expected.kind) << cell;
    ASSERT_EQ(BitCast<std::uint64_t>(read.value), BitCast<std::uint64_t>(expected.value)) << cell;
    std::string comma = cell;
    std::replace(comma.begin(), comma.end(), '.', ',');
    ASSERT_EQ(BitCast<std::uint64_t>(ParseCellNumber(comma, ',').value),
              BitCast<std::uint64_t>(read.value))
        << comma;
  }
}

}  // namespace
}  // namespace kelmory::batch
