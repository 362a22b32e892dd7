// The fast shortest-text writer against std::to_chars, whose bytes it must
// give: the edges of the notation rule, and random doubles of every kind.

#include "batch/shortest_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

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
  const double edges[] = {0.0,
                          -0.0,
                          1.0,
                          -1.0,
                          0.1,
                          1e-5,
                          1.2345e-5,
                          1e-4,
                          0.001,
                          123456.0,
                          1e15,
                          1e16,
                          1e17,
                          1e21,
                          1e22,
                          1e23,
                          9007199254740993.0,
                          5e-324,
                          limits::max(),
                          limits::min(),
                          -limits::max(),
                          2.5e-308,
                          1e100,
                          1.5e300,
                          3.4756232462406564,
                          12.649110640673518,
                          1234567890123456789.0};
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

}  // namespace
}  // namespace kelmory::batch
