#include "rows/row_rules.h"

#include <fmt/format.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "engine/sd_deriver.h"
#include "engine/working_report.h"
#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

constexpr double kSmallSample = 60;    // below it, t with n - 1 df is advised
constexpr double kAsymmetry = 0.1;     // of the interval's width
constexpr double kDisagreement = 0.1;  // of the SD from se

enum class Kind { SeOrInterval, Median, TwoGroup, Subgroups };

// Whether a row of `kind` may fill column c.
bool Allowed(Kind kind, int c) {
  switch (kind) {
    case Kind::SeOrInterval:
      return c < kFirstNewColumn;
    case Kind::Median:
      return c == kN || (c >= kMedian && c <= kMax);
    case Kind::TwoGroup:
      return c == kSe || c == kCi || c == kLower || c == kUpper || c == kLevel || c == kZ ||
             c >= kN1;
    case Kind::Subgroups:
      return false;
  }
  return false;
}

std::string SubgroupColumnName(int column, int k) {
  return std::string(kSubgroupPrefixes[column]) + std::to_string(k);
}

}  // namespace

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

// Papers often report both se and an interval, and extraction sheets keep
// both: se is used, and the interval, converted as its own row would be, is
// a check on it.
void CheckAgainstInterval(const RowCells& cells, const RowSettings& settings,
                          CriticalValueCache& cache, RowResult& result) {
  RowCells interval_cells = cells;
  interval_cells.text[kSe] = {};
  RowSettings interval_settings = settings;
  interval_settings.working = false;
  const RowResult interval = ConvertRow(interval_cells, interval_settings, cache);
  if (!interval.sd) {
    AddWarning(result.warning, "the interval beside se was not checked: " + interval.refusal);
    return;
  }
  const double a = *result.sd, b = *interval.sd;
  if (std::fabs(a - b) > kDisagreement * a) {
    const NumberLocale locale{{settings.decimal}};
    AddWarning(result.warning, "se and the interval disagree: they give SDs of " +
                                   NumberText(a, locale) + " and " + NumberText(b, locale));
  }
}

namespace {

// A filled cell as a number, or the refusal that quotes it.
std::optional<std::string> ReadCell(std::string_view cell, std::string_view name, char decimal,
                                    bool percent, std::optional<double>& out) {
  const CellNumber number = ParseCellNumber(cell, decimal, percent);
  if (number.kind == CellNumber::Kind::NotANumber)
    return Quoted(name, " is not a number", cell) + DecimalHint(cell, decimal, percent);
  if (number.kind == CellNumber::Kind::OutOfRange)
    return Quoted(name, " is beyond the double range", cell);
  out = number.value;
  return std::nullopt;
}

}  // namespace

RowResult ConvertRow(const RowCells& cells, const RowSettings& settings,
                     CriticalValueCache& cache) {
  const auto& text = cells.text;
  // Every filled cell of a recognised column must be a number, whether the
  // row uses it or not: a typo should not pass unseen.
  // Most columns are empty in most rows: find the filled ones first, in a
  // loop that calls nothing, then read only those.
  static_assert(kColumnCount <= 32, "a bit a column");
  std::uint32_t filled = 0;
  for (int c = 0; c < kColumnCount; ++c)
    filled |= static_cast<std::uint32_t>(!IsEmptyCell(text[c])) << c;
  RowValues value;
  for (std::uint32_t rest = filled; rest != 0; rest &= rest - 1) {
    const int c = std::countr_zero(rest);
    if (auto refusal = ReadCell(text[c], kColumnNames[c], settings.decimal, c == kLevel, value[c]))
      return Refused(std::move(*refusal));
  }
  std::vector<SubgroupValues> subgroups(cells.subgroups.size());
  std::string first_subgroup_cell;
  for (std::size_t s = 0; s < cells.subgroups.size(); ++s) {
    for (int c = 0; c < kSubgroupColumnCount; ++c) {
      const std::string_view cell = cells.subgroups[s].text[c];
      if (IsEmptyCell(cell)) continue;
      const std::string name = SubgroupColumnName(c, cells.subgroups[s].k);
      if (auto refusal = ReadCell(cell, name, settings.decimal, false, subgroups[s][c]))
        return Refused(std::move(*refusal));
      if (first_subgroup_cell.empty()) first_subgroup_cell = name;
    }
  }

  // The kind: subgroups, two groups or a median set by their own columns;
  // a row that fills columns of another kind mixes sources.
  Kind kind = Kind::SeOrInterval;
  std::string mark = first_subgroup_cell;
  if (!mark.empty()) kind = Kind::Subgroups;
  struct Marks {
    int first, last;
    Kind kind;
  };
  for (const Marks marks : {Marks{kN1, kP, Kind::TwoGroup}, Marks{kMedian, kMax, Kind::Median}}) {
    const std::uint32_t own = filled >> marks.first & ((1u << (marks.last - marks.first + 1)) - 1);
    if (own != 0 && kind == Kind::SeOrInterval) {
      kind = marks.kind;
      mark = kColumnNames[marks.first + std::countr_zero(own)];
    }
  }
  for (std::uint32_t rest = filled; rest != 0; rest &= rest - 1) {
    const int c = std::countr_zero(rest);
    if (!Allowed(kind, c)) {
      return Refused(mark + " and " + std::string(kColumnNames[c]) +
                     " do not go together: a row is one kind (se or an interval with n, a median "
                     "set with n, two groups with n1 and n2, or subgroups)");
    }
  }
  switch (kind) {
    case Kind::SeOrInterval:
      return SeOrIntervalRow(value, cells, settings, cache);
    case Kind::Median:
      return MedianRow(value, cells, settings);
    case Kind::TwoGroup:
      return TwoGroupRow(value, cells, settings, cache);
    case Kind::Subgroups:
      return SubgroupRow(subgroups, cells, settings);
  }
  return Refused("unknown kind of row");
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
      const double gap = std::fabs((mean - *value[kLower]) - (*value[kUpper] - mean));
      // The cells are decimals held as doubles: halves that differ by exactly
      // 10 % as typed may come out some units in the last place above it.
      if (gap > kAsymmetry * width * (1 + 1e-12)) {
        AddWarning(
            result.warning,
            "asymmetric interval: its halves differ by " +
                FixedText(gap / width * 100, PlacesApart(gap / width * 100, kAsymmetry * 100, 1),
                          settings.decimal) +
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

RowResult SeOrIntervalRow(const RowValues& value, const RowCells& cells,
                          const RowSettings& settings, CriticalValueCache& cache) {
  const auto& text = cells.text;
  if (!value[kN]) return Refused("n is empty");
  const double n = *value[kN];
  if (auto refusal = CountRefusal("n", n, text[kN])) return Refused(std::move(*refusal));
  if (auto refusal = SourceCellRefusal(value, text)) return Refused(std::move(*refusal));

  const bool se = value[kSe].has_value(), ci = value[kCi].has_value();
  const bool bounds = value[kLower] && value[kUpper];
  if (se + ci + bounds == 0) return Refused("no source: give se, ci, or lower and upper");
  if (ci + bounds > 1) {
    // se beside one interval is a check on it; two intervals are one too many.
    const std::string given = se ? "se, ci, lower and upper are" : "ci, lower and upper are";
    return Refused("more than one source: " + given +
                   " given; give only one of se, ci, or lower and upper");
  }

  RowResult result;

  if (se) {
    // The window's standard-error mode, operation for operation.
    DerivationFigures figures;
    figures.mode = DerivationMode::StandardErrorMode;
    figures.n = n;
    figures.se = *value[kSe];
    figures.sd = std::sqrt(figures.n) * figures.se;
    if (!std::isfinite(figures.sd)) return Refused("sd is too large to be computed");
    result.sd = figures.sd;
    result.method = "se";
    if (settings.working) {
      result.working = WorkingReport(NumberLocale{{settings.decimal}}).working_text(figures);
    }
    if (ci || bounds) CheckAgainstInterval(cells, settings, cache, result);
    return result;
  }

  IntervalFigures interval;
  if (!ReadInterval(value, cells, settings, cache, kMean, n - 1, interval, result)) return result;
  using Choice = IntervalFigures::Choice;
  result.method = interval.choice == Choice::User ? "user"
                  : interval.choice == Choice::Z  ? "z"
                                                  : "t";
  const double half = interval.half, divisor = interval.divisor;
  if (!SideBySide(
          interval, n - 1, [&](double critical) { return SdFromHalfWidth(n, half, critical); },
          result))
    return result;

  if (result.method == "z" && n < kSmallSample) {
    AddWarning(result.warning,
               "n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; "
               "see sd_t");
  }

  if (settings.working) {
    const NumberLocale locale{{settings.decimal}};
    const WorkingReport report(locale);
    if (interval.bounds) {
      result.working = "Confidence Error = (upper - lower) / 2 = (";
      AppendNumberText(result.working, *value[kUpper], locale);
      result.working.append(" - ");
      AppendNumberText(result.working, *value[kLower], locale);
      result.working.append(") / 2 = ");
      AppendNumberText(result.working, half, locale);
      result.working.append(kCrLf);
      result.working.append(kCrLf);
    }
    DerivationFigures figures;
    figures.mode = DerivationMode::ConfidenceErrorMode;
    figures.n = n;
    figures.z = divisor;
    figures.se = half / divisor;
    figures.sd = *result.sd;
    if (result.method == "user") {
      figures.choice = ConfidenceChoice::ConfOther;
      result.working.append(report.working_text(figures));
    } else {
      // The 95%/99% wording, with the row's own level as its label.
      figures.choice = ConfidenceChoice::Conf95;
      figures.confidence_label = NumberText(interval.level, locale) + "%";
      result.working.append(result.method == "t" ? report.t_working_text(figures, n - 1)
                                                 : report.working_text(figures));
    }
  }
  return result;
}

}  // namespace kelmory::batch
