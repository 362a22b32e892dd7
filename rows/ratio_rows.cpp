// Rows that give an odds, risk or hazard ratio with its interval or its p:
// the log ratio and its SE for a generic inverse-variance analysis
// (Cochrane Handbook 6.3.2), SE = (ln upper - ln lower) / (2 z) or
// |ln ratio| / z(1 - p/2), with z the normal quantile.

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

constexpr double kDisagreement = 0.1;  // between the SEs of the interval and of p

// "OR", "RR", "HR" in the working text.
std::string Upper(std::string_view name) {
  std::string text(name);
  for (char& c : text) c = static_cast<char>(c - 'a' + 'A');
  return text;
}

double UpperNormal(double tail) {
  return UpperNormalQuantile(tail).value_or(std::numeric_limits<double>::quiet_NaN());
}

}  // namespace

RowResult RatioRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                   CriticalValueCache& cache) {
  const auto& text = cells.text;
  std::vector<Column> ratios;
  for (const Column c : {kOr, kRr, kHr}) {
    if (value[c]) ratios.push_back(c);
  }
  if (ratios.size() > 1) {
    return Refused(std::string(kColumnNames[ratios[0]]) + " and " +
                   std::string(kColumnNames[ratios[1]]) + " are both given: give one ratio a row");
  }
  const Column ratio = ratios.front();
  const std::string name(kColumnNames[ratio]);
  for (const Column c : {ratio, kLower, kUpper}) {
    if (value[c] && !(*value[c] > 0))
      return Refused(Quoted(kColumnNames[c], " is not above 0, which has no logarithm", text[c]));
  }
  if (value[kLower] && !value[kUpper])
    return Refused(Quoted("lower", " is given without upper", text[kLower]));
  if (value[kUpper] && !value[kLower])
    return Refused(Quoted("upper", " is given without lower", text[kUpper]));
  if (value[kLevel] && !(*value[kLevel] > 0 && *value[kLevel] < 100))
    return Refused(Quoted("level", " is not between 0 and 100", text[kLevel]));
  if (value[kLevel] && *value[kLevel] < 1)
    return Refused("level is " + CellExcerpt(TrimBlanks(text[kLevel])) +
                   ": give it as a percentage, such as 95");
  const bool bounds = value[kLower].has_value();
  const bool p = value[kP].has_value();
  if (!bounds && !p) return Refused("no source: give lower and upper, or p, beside " + name);
  if (p && !(*value[kP] > 0 && *value[kP] < 1))
    return Refused(Quoted("p", " is not between 0 and 1", text[kP]));

  const double estimate = WideLog(*value[ratio]);
  RowResult result;
  WorkingLines out(settings.decimal);
  const std::string label = "ln(" + Upper(name) + ")";
  out << "Ratio measures on the log scale (Cochrane Handbook 6.3.2):";
  out.Line() << label << " = ln(" << *value[ratio] << ") = " << estimate;

  double se = 0;
  std::optional<double> se_of_p;
  double z_of_p = 0;
  if (p) {
    z_of_p = UpperNormal(*value[kP] / 2);
    se_of_p = std::fabs(estimate) / z_of_p;
  }
  if (bounds) {
    const double lower = *value[kLower], upper = *value[kUpper];
    if (!(upper > lower)) {
      return Refused(QuotedCell(kUpper, text) + (upper == lower ? " equals " : " is below ") +
                     QuotedCell(kLower, text));
    }
    if (*value[ratio] < lower || *value[ratio] > upper) {
      return Refused(QuotedCell(ratio, text) + " lies outside the interval from " +
                     QuotedCell(kLower, text) + " to " + QuotedCell(kUpper, text));
    }
    std::optional<Level> cell_level;
    if (value[kLevel]) cell_level = Level::Read(text[kLevel], settings.decimal);
    const Level& level = cell_level ? *cell_level : settings.default_level;
    const std::optional<double> z = cache.normal(level.exact);
    if (!z || (value[kLevel] && !cell_level)) {
      if (value[kLevel])
        return Refused(Quoted("level", " gives no usable critical value", text[kLevel]));
      return Refused(settings.audience == Audience::Window
                         ? "the level box gives no usable critical value"
                         : "--level gives no usable critical value");
    }
    const double ln_lower = WideLog(lower), ln_upper = WideLog(upper);
    const double width = ln_upper - ln_lower;
    se = width / (2 * *z);
    result.method = "log-ratio interval";
    result.critical_value = *z;
    if (auto percent = AsymmetryPercent(ln_lower, estimate, ln_upper, settings.decimal)) {
      AddWarning(result.warning, "asymmetric on the log scale: its halves differ by " + *percent +
                                     "% of its log width; the figures may be rounded, or the "
                                     "interval not computed on the log scale");
    }
    out.Line() << "SE = (ln(upper) - ln(lower)) / (2 * z) = (ln(" << upper << ") - ln(" << lower
               << ")) / (2 * " << *z << ") = " << width << " / " << 2 * *z << " = " << se;
    out.Line() << "with z the standard normal quantile of the " << level.value << "% level";
    if (se_of_p && std::fabs(*se_of_p - se) > kDisagreement * se) {
      const NumberLocale locale{{settings.decimal}};
      AddWarning(result.warning, "the interval and p disagree: they give SEs of " +
                                     NumberText(se, locale) + " and " +
                                     NumberText(*se_of_p, locale));
    }
  } else {
    if (estimate == 0) {
      return Refused(QuotedCell(ratio, text) + " with " + QuotedCell(kP, text) +
                     " contradicts itself: a ratio of 1 gives p = 1");
    }
    se = *se_of_p;
    result.method = "log-ratio p";
    result.critical_value = z_of_p;
    out.Line() << "z = the normal quantile at 1 - p/2 = z(1 - " << *value[kP] << "/2) = " << z_of_p;
    out.Line() << "SE = |" << label << "| / z = |" << estimate << "| / " << z_of_p << " = " << se;
  }
  if (!std::isfinite(se) || se == 0) return Refused("the SE cannot be computed from these values");
  result.log_ratio = estimate;
  result.se_log_ratio = se;
  if (settings.working) {
    out.Line().Line() << "Therefore, " << label << " = " << estimate << ", its SE = " << se
                      << " and its variance = " << se * se;
    result.working = out.Take();
  }
  return result;
}

}  // namespace kelmory::batch
