// Rows that give the difference between two independent group means
// (Cochrane Handbook 6.5.2.3): the SD common to both groups from the SE of
// the difference, SD = SE / sqrt(1/n1 + 1/n2), with n1 + n2 - 2 df.

#include <cmath>

#include "batch/row_kinds.h"
#include "engine/critical_values.h"

namespace kelmory::batch {
namespace {

constexpr double kSmallGroup = 60;  // below it in a group, t is advised

constexpr std::string_view kOneSource =
    "give only one of se, ci, lower and upper, md with t, or md with p";

}  // namespace

RowResult TwoGroupRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                      CriticalValueCache& cache) {
  const auto& text = cells.text;
  for (const Column c : {kN1, kN2}) {
    if (!value[c]) return Refused(std::string(kColumnNames[c]) + " is empty");
    if (auto refusal = CountRefusal(kColumnNames[c], *value[c], text[c]))
      return Refused(std::move(*refusal));
  }
  const double n1 = *value[kN1], n2 = *value[kN2];
  if (n1 + n2 < 3) return Refused("n1 + n2 is below 3: the groups leave no degrees of freedom");
  if (auto refusal = SourceCellRefusal(value, text)) return Refused(std::move(*refusal));
  for (const Column c : {kT, kP}) {
    if (value[c] && !value[kMd])
      return Refused(std::string(kColumnNames[c]) + " is given without md");
  }

  std::vector<std::string_view> given;
  for (const Column c : {kSe, kCi, kLower, kUpper, kT, kP}) {
    if (value[c]) given.push_back(kColumnNames[c]);
  }
  if (given.empty()) return Refused("no source: " + std::string(kOneSource));
  const bool bounds = value[kLower] && value[kUpper];
  const bool interval_given = value[kCi] || bounds;
  // se beside one interval is a check on it, as in se rows.
  const bool checked = value[kSe] && interval_given && given.size() == 2 + bounds;
  if (given.size() > 1 + bounds && !checked) {
    std::string listed;
    for (std::size_t i = 0; i < given.size(); ++i) {
      if (i) listed.append(i + 1 == given.size() ? " and " : ", ");
      listed.append(given[i]);
    }
    return Refused("more than one source: " + listed + " are given; " + std::string(kOneSource));
  }

  const double df = n1 + n2 - 2;
  const double root = std::sqrt(1 / n1 + 1 / n2);
  RowResult result;
  WorkingLines out(settings.decimal);
  out << "Degrees of freedom = N1 + N2 - 2 = " << n1 << " + " << n2 << " - 2 = " << df;
  out.Line().Line();
  double se = 0;
  if (value[kSe]) {
    result.method = "two-group se";
    se = *value[kSe];
    out << "Standard Error of the difference = " << se;
  } else if (value[kT]) {
    if (*value[kT] == 0)
      return Refused(Quoted("t", " is 0, which gives no standard error", text[kT]));
    result.method = "two-group t statistic";
    se = std::fabs(*value[kMd]) / std::fabs(*value[kT]);
    out << "Standard Error = |MD| / |t| = |" << *value[kMd] << "| / |" << *value[kT]
        << "| = " << se;
  } else if (value[kP]) {
    if (!(*value[kP] > 0 && *value[kP] < 1))
      return Refused(Quoted("p", " is not between 0 and 1", text[kP]));
    const std::optional<double> critical = StudentTwoSidedP(*value[kP], df);
    if (!critical) return Refused(Quoted("p", " gives no usable t value", text[kP]));
    const double t = *critical;
    result.method = "two-group p";
    result.critical_value = t;
    se = std::fabs(*value[kMd]) / t;
    out << "t = t-value at 1 - p/2 with " << df << " degrees of freedom = t-value at 1 - "
        << *value[kP] << "/2 = " << t;
    out.Line() << "Standard Error = |MD| / t = |" << *value[kMd] << "| / " << t << " = " << se;
  } else {
    IntervalFigures interval;
    if (!ReadInterval(value, cells, settings, cache, kMd, df, interval, result)) return result;
    using Choice = IntervalFigures::Choice;
    result.method = interval.choice == Choice::User ? "two-group user"
                    : interval.choice == Choice::Z  ? "two-group z"
                                                    : "two-group t";
    const double half = interval.half;
    if (!SideBySide(
            interval, df, [&](double critical) { return half / critical / root; }, result))
      return result;
    if (interval.choice == Choice::Z && (n1 < kSmallGroup || n2 < kSmallGroup)) {
      AddWarning(result.warning,
                 "n1 or n2 is below 60: the Cochrane Handbook advises t with n1 + n2 - 2 degrees "
                 "of freedom; see sd_t");
    }
    se = half / interval.divisor;
    if (interval.bounds) {
      out << "Confidence Error = (upper - lower) / 2 = (" << *value[kUpper] << " - "
          << *value[kLower] << ") / 2 = " << half;
      out.Line();
    }
    const std::string_view divisor_name = interval.choice == Choice::User ? "the given z-value"
                                          : interval.choice == Choice::Z
                                              ? "the z-value"
                                              : "the t-value with N1 + N2 - 2 degrees of freedom";
    out << "Standard Error = Confidence Error / " << divisor_name << " = " << half << " / "
        << interval.divisor << " = " << se;
  }
  const double sd = se / root;
  if (!std::isfinite(sd)) return Refused("sd is too large to be computed");
  result.sd = sd;
  result.df = df;
  if (checked) CheckAgainstInterval(cells, settings, cache, result);

  if (settings.working) {
    out.Line().Line()
        << "The Standard Deviation of each group = Standard Error / sqrt(1/N1 + 1/N2)";
    out.Line() << "sqrt(1/N1 + 1/N2) = sqrt(1/" << n1 << " + 1/" << n2 << ") = " << root;
    out.Line() << "Which computes to " << se << " / " << root;
    out.Line().Line() << "Therefore, the SD = " << sd;
    result.working = out.Take();
  }
  return result;
}

}  // namespace kelmory::batch
