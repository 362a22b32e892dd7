// Made ttable/cutoff.csv, the source of the t-table data file "cutoff.mdb".
// Run once by hand; the build does not use it:
//
//   g++ -std=c++20 -O2 -o /tmp/ttable_values scripts/ttable_values.cpp
//   /tmp/ttable_values > ttable/cutoff.csv
//
// Each value is the two-sided critical value of Student's t for a level L,
// the quantile at 1 - (1 - L)/2, with Boost.Math (the normal distribution for
// the last row, df "∞"), written with exactly three decimals. Every value is
// computed twice, in double and in long double through the complement, and
// the tool refuses to write when the two do not round alike or when a value
// lies too close to a rounding boundary for three decimals to be certain.
// tests/ttable/ttable_test.cpp recomputes every value of the built file.

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The levels in percent; alpha/2 = (100 - L) / 200.
constexpr std::array<double, 12> kLevels = {50, 60, 70, 80, 90, 95, 96, 98, 99, 99.5, 99.8, 99.9};
constexpr std::array<const char*, 12> kHeaders = {"50%", "60%", "70%", "80%",   "90%",   "95%",
                                                  "96%", "98%", "99%", "99.5%", "99.8%", "99.9%"};

std::string ThreeDecimals(long double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3Lf", value);
  return text;
}

bool failed = false;

std::string Checked(long double in_double, long double in_long, const char* what) {
  const std::string a = ThreeDecimals(in_double);
  const std::string b = ThreeDecimals(in_long);
  // Distance to the nearest boundary k + 0.0005, in units of the last decimal.
  const long double scaled = in_long * 1000.0L;
  const long double margin = std::fabs(scaled - std::floor(scaled) - 0.5L);
  if (a != b || margin < 1e-6L) {
    std::fprintf(stderr, "uncertain rounding at %s: %s vs %s (margin %Lg)\n", what, a.c_str(),
                 b.c_str(), margin);
    failed = true;
  }
  return b;
}

}  // namespace

int main() {
  std::vector<std::string> dfs;
  for (int df = 1; df <= 100; ++df) dfs.push_back(std::to_string(df));
  for (int df : {120, 150, 200, 300, 500, 1000}) dfs.push_back(std::to_string(df));
  dfs.push_back("\xE2\x88\x9E");  // "∞"

  std::string out = "df";
  for (const char* header : kHeaders) out += std::string(",") + header;
  out += "\n";
  for (const std::string& df : dfs) {
    out += df;
    for (double level : kLevels) {
      const double upper_double = 1.0 - (1.0 - level / 100.0) / 2.0;
      const long double tail_long = (100.0L - static_cast<long double>(level)) / 200.0L;
      long double in_double, in_long;
      if (df == dfs.back()) {
        in_double = boost::math::quantile(boost::math::normal_distribution<double>(), upper_double);
        in_long = boost::math::quantile(
            boost::math::complement(boost::math::normal_distribution<long double>(), tail_long));
      } else {
        const double n = std::stod(df);
        in_double =
            boost::math::quantile(boost::math::students_t_distribution<double>(n), upper_double);
        in_long = boost::math::quantile(boost::math::complement(
            boost::math::students_t_distribution<long double>(n), tail_long));
      }
      const std::string what = "df " + df + " level " + std::to_string(level);
      out += "," + Checked(in_double, in_long, what.c_str());
    }
    out += "\n";
  }
  if (failed) return 1;
  std::fputs(out.c_str(), stdout);
  return 0;
}
