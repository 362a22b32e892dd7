#include "batch/row_rules.h"

#include <charconv>
#include <cmath>
#include <string>

#include "batch/cell_number.h"
#include "engine/sd_deriver.h"
#include "engine/working_report.h"

namespace kelmory::batch {
namespace {

constexpr double kSmallSample = 60;    // below it, t with n - 1 df is advised
constexpr double kAsymmetry = 0.1;     // of the interval's width
constexpr double kDisagreement = 0.1;  // of the SD from se
constexpr std::string_view kCrLf = "\r\n";

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

std::string OneDecimal(double value, char decimal) {
  std::array<char, 64> buf;
  const auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, 1);
  std::string text(buf.data(), res.ptr);
  for (char& c : text) {
    if (c == '.') c = decimal;
  }
  return text;
}

std::string SdText(double sd, char decimal) { return NumberText(sd, NumberLocale{{decimal}}); }

}  // namespace

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
    AddWarning(result.warning, "se and the interval disagree: they give SDs of " +
                                   SdText(a, settings.decimal) + " and " +
                                   SdText(b, settings.decimal));
  }
}

RowResult ConvertRow(const RowCells& cells, const RowSettings& settings,
                     CriticalValueCache& cache) {
  const auto& text = cells.text;
  // Every filled cell of a recognised column must be a number, whether the
  // row uses it or not: a typo should not pass unseen.
  std::array<std::optional<double>, kColumnCount> value{};
  for (int c = 0; c < kColumnCount; ++c) {
    if (IsEmptyCell(text[c])) continue;
    const CellNumber number = ParseCellNumber(text[c], settings.decimal, c == kLevel);
    if (number.kind == CellNumber::Kind::NotANumber) {
      return Refused(Quoted(kColumnNames[c], " is not a number", text[c]) +
                     std::string(DecimalHint(text[c], settings.decimal, c == kLevel)));
    }
    if (number.kind == CellNumber::Kind::OutOfRange)
      return Refused(Quoted(kColumnNames[c], " is beyond the double range", text[c]));
    value[c] = number.value;
  }

  if (!value[kN]) return Refused("n is empty");
  const double n = *value[kN];
  const WholeNumber whole = ReadWholeNumber(text[kN], settings.decimal);
  if (!(n >= 1) || whole == WholeNumber::NotWhole)
    return Refused(Quoted("n", " is not a whole number of at least 1", text[kN]));
  if (whole == WholeNumber::TooLarge)
    return Refused(Quoted("n", " is too large to be held exactly", text[kN]));
  if (value[kSe] && *value[kSe] < 0) return Refused(Quoted("se", " is negative", text[kSe]));
  if (value[kCi] && *value[kCi] < 0) return Refused(Quoted("ci", " is negative", text[kCi]));
  if (value[kLevel] && !(*value[kLevel] > 0 && *value[kLevel] < 100))
    return Refused(Quoted("level", " is not between 0 and 100", text[kLevel]));
  // 0.95 meant as a proportion would give an SD about 170 times too large.
  if (value[kLevel] && *value[kLevel] < 1) {
    return Refused("level is " + CellExcerpt(TrimBlanks(text[kLevel])) +
                   ": give it as a percentage, such as 95");
  }
  if (value[kZ] && !(*value[kZ] > 0))
    return Refused(Quoted("z", " is not greater than 0", text[kZ]));

  const bool se = value[kSe].has_value(), ci = value[kCi].has_value();
  const bool lower = value[kLower].has_value(), upper = value[kUpper].has_value();
  if (lower && !upper) return Refused("lower is given without upper");
  if (upper && !lower) return Refused("upper is given without lower");
  const bool bounds = lower && upper;
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

  double half = 0;
  if (bounds) {
    if (*value[kUpper] < *value[kLower]) return Refused("upper is below lower");
    half = (*value[kUpper] - *value[kLower]) / 2;
    if (!std::isfinite(half)) return Refused("the interval is too wide to be computed");
    if (value[kMean]) {
      const double mean = *value[kMean];
      if (mean < *value[kLower] || mean > *value[kUpper])
        return Refused("mean lies outside the interval from lower to upper");
      const double width = *value[kUpper] - *value[kLower];
      const double gap = std::fabs((mean - *value[kLower]) - (*value[kUpper] - mean));
      if (gap > kAsymmetry * width) {
        AddWarning(result.warning, "asymmetric interval: its halves differ by " +
                                       OneDecimal(gap / width * 100, settings.decimal) +
                                       "% of its width; it may have been computed on a log scale");
      }
    }
  } else {
    half = *value[kCi];
  }

  const double level = value[kLevel].value_or(settings.default_level);
  const std::optional<double> z_crit = cache.normal(level);
  const std::optional<double> t_crit = n >= 2 ? cache.student(level, n - 1) : std::nullopt;
  if (!z_crit || (n >= 2 && !t_crit)) {
    // Only at the extremes, a level a hair above 0 for instance.
    return Refused(value[kLevel] ? Quoted("level", " gives no usable critical value", text[kLevel])
                                 : "--level gives no usable critical value");
  }

  double divisor = 0;
  if (value[kZ]) {
    result.method = "user";
    divisor = *value[kZ];
  } else if (settings.method == Method::Z) {
    result.method = "z";
    divisor = *z_crit;
  } else {
    if (!t_crit) {
      return Refused(
          "n is 1: there is no t value with 0 degrees of freedom; give a z cell or use --method z");
    }
    result.method = "t";
    divisor = *t_crit;
  }

  result.sd = SdFromHalfWidth(n, half, divisor);
  result.critical_value = divisor;
  result.sd_z = SdFromHalfWidth(n, half, *z_crit);
  if (t_crit) {
    result.df = n - 1;
    result.sd_t = SdFromHalfWidth(n, half, *t_crit);
    if (*result.sd_t != 0)
      result.z_t_gap_percent = (*result.sd_z - *result.sd_t) / *result.sd_t * 100;
  }
  if (!std::isfinite(*result.sd) || !std::isfinite(*result.sd_z) ||
      (result.sd_t && !std::isfinite(*result.sd_t))) {
    return Refused("sd is too large to be computed");
  }

  if (!t_crit) {
    AddWarning(result.warning,
               "n is 1: there is no t value with 0 degrees of freedom, so sd_t is empty");
  } else if (result.method == "z" && n < kSmallSample) {
    AddWarning(result.warning,
               "n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; "
               "see sd_t");
  }

  if (settings.working) {
    const NumberLocale locale{{settings.decimal}};
    const WorkingReport report(locale);
    if (bounds) {
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
      figures.confidence_label = NumberText(level, locale) + "%";
      result.working.append(result.method == "t" ? report.t_working_text(figures, n - 1)
                                                 : report.working_text(figures));
    }
  }
  return result;
}

}  // namespace kelmory::batch
