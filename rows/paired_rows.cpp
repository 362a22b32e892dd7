// Rows that give a paired difference, as crossover and before-and-after
// studies report it: n and md with se, an interval, t or p (paired t test,
// n - 1 df). The SD of the differences is SE * sqrt(n); with corr, the SD of
// each period is SD_diff / sqrt(2 (1 - r)) (Cochrane Handbook 23.2.7).

#include <cmath>
#include <string>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

constexpr double kSmallSample = 60;  // below it, t with n - 1 df is advised

}  // namespace

RowResult PairedRow(const RowValues& value, const RowCells& cells, const RowSettings& settings,
                    CriticalValueCache& cache) {
  const auto& text = cells.text;
  if (!value[kN]) return Refused("n is empty");
  const double n = *value[kN];
  if (auto refusal = CountRefusal("n", n, text[kN])) return Refused(std::move(*refusal));
  if (value[kCorr] && !(*value[kCorr] >= -1 && *value[kCorr] <= 1))
    return Refused(Quoted("corr", " is not between -1 and 1", text[kCorr]));
  if (value[kCorr] && *value[kCorr] == 1) {
    return Refused("corr '" + CellExcerpt(TrimBlanks(text[kCorr])) +
                   "' is 1: the periods would not differ, and the SD of each has no estimate");
  }

  const double root_n = std::sqrt(n);
  static constexpr DifferenceMethods kMethods = {"paired se",   "paired t statistic", "paired p",
                                                 "paired user", "paired z",           "paired t"};
  Difference design{kMethods, n - 1, [root_n](double se) { return se * root_n; }};
  design.small = n < kSmallSample;
  design.small_warning =
      "n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; see sd_t";
  design.t_name = "the t-value with N - 1 degrees of freedom";
  design.df_line = [n](WorkingLines& out, double df) {
    out << "A paired difference: Degrees of freedom = N - 1 = " << n << " - 1 = " << df;
  };
  design.sd_lines = [n, root_n](WorkingLines& out, double se) {
    out << "The Standard Deviation of the differences = Standard Error * sqrt(N)";
    out.Line() << "sqrt(N) = sqrt(" << n << ") = " << root_n;
    out.Line() << "Which computes to " << se << " * " << root_n;
  };
  RowResult result = DifferenceRow(value, cells, settings, cache, design);
  if (!result.sd || !value[kCorr]) return result;

  const double r = *value[kCorr];
  const double divisor = std::sqrt(2 * (1 - r));
  result.sd_within = *result.sd / divisor;
  if (!std::isfinite(*result.sd_within)) return Refused("sd_within is too large to be computed");
  if (settings.working) {
    WorkingLines out(settings.decimal);
    out.Line().Line() << "The SD of each period (Cochrane Handbook 23.2.7):";
    out.Line() << "SD_within = SD_diff / sqrt(2 * (1 - r)) = " << *result.sd << " / sqrt(2 * (1 - "
               << r << ")) = " << *result.sd << " / " << divisor << " = " << *result.sd_within;
    result.working.append(out.Take());
  }
  return result;
}

}  // namespace kelmory::batch
