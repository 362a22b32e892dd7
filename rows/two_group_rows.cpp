// Rows that give the difference between two independent group means
// (Cochrane Handbook 6.5.2.3): the SD common to both groups from the SE of
// the difference, SD = SE / sqrt(1/n1 + 1/n2), with n1 + n2 - 2 df.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/critical_values.h"
#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

constexpr double kSmallGroup = 60;  // below it in a group, t is advised

constexpr std::string_view kOneSource =
    "give only one of se, ci, lower and upper, md with t, or md with p";

// A p or t whose last printed digit moves the SD by more than this either
// way is warned of.
constexpr double kRoundingSpread = 0.1;

std::string Cell(std::string_view column, std::string_view text) {
  return std::string(column) + " '" + CellExcerpt(TrimBlanks(text)) + "'";
}

// The power of ten of a number cell's last printed digit: -2 for "0.99",
// -4 for "0.9900", -6 for "1e-6".
int LastDigitPower(std::string_view text, char decimal) {
  text = TrimBlanks(text);
  int decimals = 0;
  bool point = false;
  std::size_t i = 0;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == decimal) point = true;
    decimals += point && text[i] >= '0' && text[i] <= '9';
  }
  long exponent = 0;
  if (i < text.size()) exponent = std::strtol(std::string(text.substr(i + 1)).c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(exponent - decimals, -400, 400));
}

// Three significant digits: enough to show how wide a range is.
std::string Rounded(double value, char decimal) {
  const int power = value > 0 ? static_cast<int>(std::floor(std::log10(value))) : 0;
  return FixedText(value, std::max(0, 2 - power), decimal);
}

// "p is 0.99: as rounded it allows SDs from 18.1 to 54.3" when the cell's
// rounding to its last digit moves `sd` by more than kRoundingSpread.
void WarnOfRounding(std::string_view column, std::string_view text, double sd, double low,
                    double high, char decimal, std::string& warning) {
  if (!(high > (1 + kRoundingSpread) * sd || low < (1 - kRoundingSpread) * sd)) return;
  AddWarning(warning, std::string(column) + " is " + CellExcerpt(TrimBlanks(text)) +
                          ": as rounded it allows SDs from " + Rounded(low, decimal) + " to " +
                          Rounded(high, decimal));
}

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
  const double root = std::sqrt(1 / n1 + 1 / n2);
  static constexpr DifferenceMethods kMethods = {"two-group se", "two-group t statistic",
                                                 "two-group p",  "two-group user",
                                                 "two-group z",  "two-group t"};
  Difference design{kMethods, n1 + n2 - 2, [root](double se) { return se / root; }};
  design.small = n1 < kSmallGroup || n2 < kSmallGroup;
  design.small_warning =
      "n1 or n2 is below 60: the Cochrane Handbook advises t with n1 + n2 - 2 degrees of freedom; "
      "see sd_t";
  design.t_name = "the t-value with N1 + N2 - 2 degrees of freedom";
  design.df_line = [n1, n2](WorkingLines& out, double df) {
    out << "Degrees of freedom = N1 + N2 - 2 = " << n1 << " + " << n2 << " - 2 = " << df;
  };
  design.sd_lines = [n1, n2, root](WorkingLines& out, double se) {
    out << "The Standard Deviation of each group = Standard Error / sqrt(1/N1 + 1/N2)";
    out.Line() << "sqrt(1/N1 + 1/N2) = sqrt(1/" << n1 << " + 1/" << n2 << ") = " << root;
    out.Line() << "Which computes to " << se << " / " << root;
  };
  return DifferenceRow(value, cells, settings, cache, design);
}

RowResult DifferenceRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                        CriticalValueCache& cache, const Difference& design) {
  const auto& text = cells.text;
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

  const double df = design.df;
  RowResult result;
  if (value[kT] || value[kP]) {
    const Column statistic = value[kT] ? kT : kP;
    if (value[kT] && *value[kT] == 0)
      return Refused(Quoted("t", " is 0, which gives no standard error", text[kT]));
    if (value[kP] && !(*value[kP] > 0 && *value[kP] < 1))
      return Refused(Quoted("p", " is not between 0 and 1", text[kP]));
    // A difference of 0 has t = 0 and p = 1; and it would give an SD of 0.
    if (*value[kMd] == 0) {
      return Refused(Cell("md", text[kMd]) + " with " +
                     Cell(kColumnNames[statistic], text[statistic]) +
                     " contradicts itself: a difference of 0 gives t = 0 and p = 1");
    }
    if (value[kT] && (*value[kMd] < 0) != (*value[kT] < 0)) {
      AddWarning(result.warning, Cell("md", text[kMd]) + " and " + Cell("t", text[kT]) +
                                     " have opposite signs: check that both take the groups in "
                                     "the same order");
    }
  }
  WorkingLines out(settings.decimal);
  design.df_line(out, df);
  out.Line().Line();
  double se = 0;
  if (value[kSe]) {
    result.method = design.methods.se;
    se = *value[kSe];
    out << "Standard Error of the difference = " << se;
  } else if (value[kT]) {
    result.method = design.methods.t_statistic;
    se = std::fabs(*value[kMd]) / std::fabs(*value[kT]);
    out << "Standard Error = |MD| / |t| = |" << *value[kMd] << "| / |" << *value[kT]
        << "| = " << se;
    const double t = std::fabs(*value[kT]);
    const double half_unit = 0.5 * std::pow(10.0, LastDigitPower(text[kT], settings.decimal));
    const auto sd_of = [&](double statistic) {
      return design.sd_of_se(std::fabs(*value[kMd]) / statistic);
    };
    WarnOfRounding("t", text[kT], sd_of(t), sd_of(t + half_unit), sd_of(t - half_unit),
                   settings.decimal, result.warning);
  } else if (value[kP]) {
    // p as typed, so that 1 - p/2 is formed from its digits.
    const std::optional<ExactDecimal> p = ReadExactDecimal(text[kP], settings.decimal);
    const std::optional<double> critical = p ? StudentTwoSidedP(*p, df) : std::nullopt;
    if (!critical) return Refused(Quoted("p", " gives no usable t value", text[kP]));
    const double t = *critical;
    result.method = design.methods.p;
    result.critical_value = t;
    se = std::fabs(*value[kMd]) / t;
    out << "t = t-value at 1 - p/2 with " << df << " degrees of freedom = t-value at 1 - "
        << *value[kP] << "/2 = " << t;
    out.Line() << "Standard Error = |MD| / t = |" << *value[kMd] << "| / " << t << " = " << se;
    const double half_unit = 0.5 * std::pow(10.0, LastDigitPower(text[kP], settings.decimal));
    const auto sd_of = [&](double p_end) {
      const std::optional<double> t_end = StudentTwoSidedP(p_end, df);
      return design.sd_of_se(t_end ? std::fabs(*value[kMd]) / *t_end : se);
    };
    WarnOfRounding("p", text[kP], design.sd_of_se(se), sd_of(*value[kP] - half_unit),
                   sd_of(*value[kP] + half_unit), settings.decimal, result.warning);
  } else {
    IntervalFigures interval;
    if (!ReadInterval(value, cells, settings, cache, kMd, df, interval, result)) return result;
    using Choice = IntervalFigures::Choice;
    result.method = interval.choice == Choice::User ? design.methods.user
                    : interval.choice == Choice::Z  ? design.methods.z
                                                    : design.methods.t;
    const double half = interval.half;
    if (!SideBySide(
            interval, df, [&](double critical) { return design.sd_of_se(half / critical); },
            result))
      return result;
    if (interval.choice == Choice::Z && design.small)
      AddWarning(result.warning, design.small_warning);
    se = half / interval.divisor;
    if (interval.bounds) {
      out << "Confidence Error = (upper - lower) / 2 = (" << *value[kUpper] << " - "
          << *value[kLower] << ") / 2 = " << half;
      out.Line();
    }
    const std::string_view divisor_name = interval.choice == Choice::User ? "the given z-value"
                                          : interval.choice == Choice::Z  ? "the z-value"
                                                                          : design.t_name;
    out << "Standard Error = Confidence Error / " << divisor_name << " = " << half << " / "
        << interval.divisor << " = " << se;
  }
  const double sd = design.sd_of_se(se);
  if (!std::isfinite(sd)) return Refused("sd is too large to be computed");
  if (sd == 0)
    return Refused(
        "sd comes out as 0, smaller than a double holds, which gives the study infinite weight");
  result.sd = sd;
  result.df = df;
  if (checked) CheckAgainstInterval(cells, settings, cache, result);

  if (settings.working) {
    out.Line().Line();
    design.sd_lines(out, se);
    out.Line().Line() << "Therefore, the SD = " << sd;
    result.working = out.Take();
  }
  return result;
}

}  // namespace kelmory::batch
