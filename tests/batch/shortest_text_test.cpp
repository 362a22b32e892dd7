// The fast number paths against the standard library, whose results they
// must give: the shortest-text writer against std::to_chars, the cell reader
// against std::from_chars.

#include "batch/shortest_text.h"
#include "batch/cell_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace kelmory::batch {
namespace {

std::string Ours(double value) {
  char text[kShortestTextRoom];
  return {text, WriteShortest(text, value)};
}

std::string Standard(double value) {
  char text[64];
  return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

TEST(ShortestText, IsToCharsByteForByte) {
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
    double value = std::bit_cast<double>(random());
    if (i % 2) {
      value = static_cast<double>(random() % 100000000) *
              std::pow(10.0, static_cast<double>(static_cast<int>(random() % 60) - 30));
    }
    if (!std::isfinite(value)) continue;
    ASSERT_EQ(Ours(value), Standard(value)) << std::bit_cast<std::uint64_t>(value);
  }
}

// Up to 15 digits without an exponent are read without from_chars: the
// edges of that path, and random cells of every length and point position.
TEST(CellNumbers, ReadAsFromCharsReadsThem) {
  const auto standard = [](std::string text) {
    double value = 0;
    std::replace(text.begin(), text.end(), ',', '.');
    const char* begin = text.data() + (text[0] == '+' || text[0] == '-');
    std::from_chars(begin, text.data() + text.size(), value);
    return text[0] == '-' && value != 0 ? -value : value;
  };
  // clang-format off
  std::vector<std::string> cells = {"0", "-0", "5.", ".5", "+2.5", "999999999999999",
                                    "0.000000000000001", "9007199254740993", "2.675"};
  // clang-format on
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 1000000; ++i) {
    std::string cell = std::to_string(random() % 10000000000000000ULL).substr(0, 1 + random() % 17);
    const std::size_t point = random() % (cell.size() + 2);
    if (point <= cell.size()) cell.insert(point, ".");
    if (random() % 4 == 0) cell.insert(0, "-");
    cells.push_back(cell);
  }
  for (const std::string& cell : cells) {
    const CellNumber read = ParseCellNumber(cell, '.');
    ASSERT_EQ(read.kind, CellNumber::Kind::Number) << cell;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(read.value),
              std::bit_cast<std::uint64_t>(standard(cell)))
        << cell;
    std::string comma = cell;
    std::replace(comma.begin(), comma.end(), '.', ',');
    ASSERT_EQ(ParseCellNumber(comma, ',').value, read.value) << comma;
  }
}

}  // namespace
}  // namespace kelmory::batch
