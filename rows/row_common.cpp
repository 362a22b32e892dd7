// What the kinds of row share (row_kinds.h): quoted refusals, warnings,
// counts, the source cells and the reading of an interval.
#include <fmt/format.h>

#include <cmath>
#include <string>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

constexpr double kAsymmetry = 0.1;  // of the interval's width

}  // namespace

std::optional<std::string> AsymmetryPercent(double lower, double centre, double upper,
                                            char decimal) {
  const double width = upper - lower, gap = std::fabs((centre - lower) - (upper - centre));
  // The cells are decimals held as doubles: halves that differ by exactly
  // 10 % as typed may come out some units in the last place above it.
  if (!(gap > kAsymmetry * width * (1 + 1e-12))) return std::nullopt;
  const double percent = gap / width * 100;
  return FixedText(percent, PlacesApart(percent, kAsymmetry * 100, 1), decimal);
}

RowResult Refused(std::string message) {
  RowResult result;
  result.refusal = std::move(message);
  return result;
}

std::string Quoted(std::string_view column, std::string_view what, std::string_view text) {
  std::string message(column);
  message.append(what);
  message.append(": '");
  message.append(CellExcerpt(text));
  message.push_back('\'');
  return message;
}

void AddWarning(std::string& warnings, std::string_view warning) {
  if (!warnings.empty()) warnings.append("; ");
  warnings.append(warning);
}

std::string FixedText(double value, int places, char decimal) {
  std::string text = fmt::format("{:.{}f}", value, places);
  for (char& c : text) {
    if (c == '.') c = decimal;
  }
  return text;
}

std::optional<std::string> CountRefusal(std::string_view column, double value,
                                        std::string_view text) {
  const WholeNumber whole = ReadWholeNumber(text);
  if (!(value >= 1) || whole == WholeNumber::NotWhole)
    return Quoted(column, " is not a whole number of at least 1", text);
  if (whole == WholeNumber::TooLarge)
    return Quoted(column, " is too large to be held exactly", text);
  if (value == 1)
    return std::string(column) + " is 1: a single observation has no standard deviation";
  return std::nullopt;
}

std::string ZeroSd(std::string what) {
  return what + ", which gives an SD of 0 and the study infinite weight";
}

int PlacesApart(double a, double b, int places) {
  while (a != b && places < 20 && FixedText(a, places, '.') == FixedText(b, places, '.')) ++places;
  return places;
}

std::optional<Level> Level::Read(std::string_view text, char separator) {
  const CellNumber number = ParseCellNumber(text, separator, true);
  auto exact = ReadExactDecimal(text, separator, true);
  if (number.kind != CellNumber::Kind::Number || !exact) return std::nullopt;
  return Level(std::move(*exact), number.value);
}

std::optional<std::string> SourceCellRefusal(
    const RowValues& value, const std::array<std::string_view, kColumnCount>& text) {
  if (value[kSe] && *value[kSe] < 0) return Quoted("se", " is negative", text[kSe]);
  if (value[kCi] && *value[kCi] < 0) return Quoted("ci", " is negative", text[kCi]);
  // An SD of 0 would give the study all the weight of a meta-analysis.
  if (value[kSe] && *value[kSe] == 0) return ZeroSd(Quoted("se", " is 0", text[kSe]));
  if (value[kCi] && *value[kCi] == 0) return ZeroSd(Quoted("ci", " is 0", text[kCi]));
  if (value[kLevel] && !(*value[kLevel] > 0 && *value[kLevel] < 100))
    return Quoted("level", " is not between 0 and 100", text[kLevel]);
  // 0.95 meant as a proportion would give an SD about 170 times too large.
  if (value[kLevel] && *value[kLevel] < 1)
    return "level is " + CellExcerpt(TrimBlanks(text[kLevel])) +
           ": give it as a percentage, such as 95";
  if (value[kZ] && !(*value[kZ] > 0)) return Quoted("z", " is not greater than 0", text[kZ]);
  if (value[kLower] && !value[kUpper])
    return Quoted("lower", " is given without upper", text[kLower]);
  if (value[kUpper] && !value[kLower])
    return Quoted("upper", " is given without lower", text[kUpper]);
  return std::nullopt;
}

bool ReadInterval(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                  CriticalValueCache& cache, Column centre, double df, IntervalFigures& figures,
                  RowResult& result) {
  const auto& text = cells.text;
  const auto refuse = [&](std::string message) {
    result = Refused(std::move(message));
    return false;
  };
  figures.bounds = value[kLower] && value[kUpper];
  if (figures.bounds) {
    const std::string upper = "upper '" + CellExcerpt(TrimBlanks(text[kUpper])) + "'";
    const std::string lower = "lower '" + CellExcerpt(TrimBlanks(text[kLower])) + "'";
    if (*value[kUpper] < *value[kLower]) return refuse(upper + " is below " + lower);
    if (*value[kUpper] == *value[kLower])
      return refuse(ZeroSd(upper + " equals " + lower + ", an interval of no width"));
    figures.half = (*value[kUpper] - *value[kLower]) / 2;
    if (!std::isfinite(figures.half)) return refuse("the interval is too wide to be computed");
    if (value[centre]) {
      const double mean = *value[centre];
      if (mean < *value[kLower] || mean > *value[kUpper]) {
        return refuse(std::string(kColumnNames[centre]) + " '" +
                      CellExcerpt(TrimBlanks(text[centre])) + "' lies outside the interval from " +
                      lower + " to " + upper);
      }
      const double width = *value[kUpper] - *value[kLower];
      if (auto percent = AsymmetryPercent(*value[kLower], mean, *value[kUpper], settings.decimal)) {
        AddWarning(result.warning, "asymmetric interval: its halves differ by " + *percent +
                                       "% of its width; it may have been computed on a log scale");
      }
    }
  } else {
    figures.half = *value[kCi];
  }

  // The level as typed, so that 99.9 gets the quantiles of 99.9 itself.
  std::optional<Level> cell_level;
  if (value[kLevel]) cell_level = Level::Read(text[kLevel], settings.decimal);
  const Level& level = cell_level ? *cell_level : settings.default_level;
  figures.level = level.value;
  figures.z_crit = cache.normal(level.exact);
  figures.t_crit = df >= 1 ? cache.student(level.exact, df) : std::nullopt;
  if (!figures.z_crit || (df >= 1 && !figures.t_crit) || (value[kLevel] && !cell_level)) {
    // Only at the extremes, a level a hair above 0 for instance.
    if (value[kLevel])
      return refuse(Quoted("level", " gives no usable critical value", text[kLevel]));
    return refuse(settings.audience == Audience::Window
                      ? "the level box gives no usable critical value"
                      : "--level gives no usable critical value");
  }

  if (value[kZ]) {
    figures.choice = IntervalFigures::Choice::User;
    figures.divisor = *value[kZ];
  } else if (settings.method == Method::Z) {
    figures.choice = IntervalFigures::Choice::Z;
    figures.divisor = *figures.z_crit;
  } else {
    if (!figures.t_crit) return refuse("there is no t value with 0 degrees of freedom");
    figures.choice = IntervalFigures::Choice::T;
    figures.divisor = *figures.t_crit;
  }
  return true;
}

}  // namespace kelmory::batch
