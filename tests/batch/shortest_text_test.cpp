// The fast number paths against independent references whose results they
// must give: the shortest-text writer against std::to_chars where the
// standard library has it, the cell reader against the C library's strtod.

#include "batch/shortest_text.h"
#include "batch/cell_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
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

TEST(ShortestText, IsToCharsByteForByte) {
#if !KELMORY_HAVE_DOUBLE_TO_CHARS
  GTEST_SKIP() << "this standard library has no std::to_chars for double";
#else
  const auto Standard = [](double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
  };
  using limits = std::numeric_limits<double>;
  // clang-format off
  const double edges[] = {0.0, -0.0, 1.0, -1.0, 0.1, 1e-5, 1.2345e-5, 1e-4, 0.001, 123456.0,
                          1e15, 1e16, 1e17, 1e21, 1e22, 1e23, 9007199254740993.0, 5e-324,
                          limits::max(), limits::min(), -limits::max(), 2.5e-308, 1e100, 1.5e300,
                          3.4756232462406564, 12.649110640673518, 1234567890123456789.0};
  // clang-format on
  for (const double value : edges) EXPECT_EQ(Ours(value), Standard(value)) << value;

  std::mt19937_64 random(20261207);
  for (int i = 0; i < 2000000; ++i) {
    // Half any bit pattern, half short decimals of every size, as tables hold.
    double value = BitCast<double>(random());
    if (i % 2) {
      value = static_cast<double>(random() % 100000000) *
              std::pow(10.0, static_cast<double>(static_cast<int>(random() % 60) - 30));
    }
    if (!std::isfinite(value)) continue;
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
