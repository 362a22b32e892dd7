// The se or interval row: n with se, ci, or lower and upper.
#include <cmath>
#include <string>

#include "engine/sd_deriver.h"
#include "engine/working_report.h"
#include "rows/row_kinds.h"
#include "rows/row_rules.h"

namespace kelmory::batch {
namespace {

constexpr double kSmallSample = 60;    // below it, t with n - 1 df is advised
constexpr double kDisagreement = 0.1;  // of the SD from se

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
    const NumberLocale locale{{settings.decimal}};
    AddWarning(result.warning, "se and the interval disagree: they give SDs of " +
                                   NumberText(a, locale) + " and " + NumberText(b, locale));
  }
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
