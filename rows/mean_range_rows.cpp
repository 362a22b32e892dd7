// Rows that report the mean with a range or an interquartile range and no
// median: the mean is the paper's, and the SD needs no median (Wan et al.
// 2014, as metafor's conv.fivenum takes such rows).

#include <cmath>
#include <string>
#include <vector>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {}  // namespace

RowResult MeanRangeRow(const RowValues& value, const RowCells& cells, const RowSettings& settings) {
  const auto& text = cells.text;
  if (!value[kN]) return Refused("n is empty");
  const double n = *value[kN];
  if (auto refusal = CountRefusal("n", n, text[kN])) return Refused(std::move(*refusal));

  if (n < 5)
    return Refused(Quoted("n", " is below 5, the least a range or quartiles take", text[kN]));

  const bool range = value[kMin] || value[kMax], quartiles = value[kQ1] || value[kQ3];
  std::vector<Column> set;
  if (range) set = {kMin, kMax};
  if (quartiles)
    set = range ? std::vector<Column>{kMin, kQ1, kQ3, kMax} : std::vector<Column>{kQ1, kQ3};
  for (const Column c : set) {
    if (!value[c]) {
      return Refused(std::string(kColumnNames[c]) +
                     " is missing: a mean takes min and max, q1 and q3, or all four");
    }
  }
  if (auto refusal = SpreadRefusal(value, text, set, range, quartiles, "min <= q1 <= q3 <= max"))
    return Refused(std::move(*refusal));
  const double mean = *value[kMean];
  // A mean outside the range contradicts it; skewed data may put it beyond
  // a quartile.
  if (range && (mean < *value[kMin] || mean > *value[kMax])) {
    return Refused(QuotedCell(kMean, text) + " lies outside the range from " +
                   QuotedCell(kMin, text) + " to " + QuotedCell(kMax, text));
  }

  const double a = range ? *value[kMin] : 0, b = range ? *value[kMax] : 0;
  const double q1 = quartiles ? *value[kQ1] : 0, q3 = quartiles ? *value[kQ3] : 0;
  const double xi = range ? Xi(n) : 0, eta = quartiles ? Eta(n) : 0;
  // All four: the weighted SD of Shi et al. (2020), as for a median set.
  const double w = range && quartiles ? 1 / (1 + 0.07 * WidePow(n, 0.6)) : range ? 1 : 0;
  const double sd = (range ? w * (b - a) / xi : 0) + (quartiles ? (1 - w) * (q3 - q1) / eta : 0);
  if (!std::isfinite(sd)) return Refused("the values are too large to be computed");

  RowResult result;
  result.method = range && quartiles ? "mean-five" : range ? "mean-range" : "mean-iqr";
  result.sd = sd;
  AddWarning(result.warning, std::string("SD estimated from ") +
                                 (range && quartiles ? "the range and quartiles"
                                  : range            ? "the range"
                                                     : "the interquartile range") +
                                 ": consider it in a sensitivity analysis");
  if (settings.working) {
    using F = WorkingLines::Formula;
    WorkingLines out(settings.decimal);
    out << "The mean is reported: the SD needs no median.";
    out.Line().Line() << (range && quartiles ? "Standard Deviation (Shi et al. 2020):"
                                             : "Standard Deviation (Wan et al. 2014):");
    if (range && quartiles) {
      out.Line() << "SD = w * (max - min) / xi + (1 - w) * (q3 - q1) / eta";
      out.Line() << F{"w = 1 / (1 + 0.07 * N^0.6) = "} << w;
    } else {
      out.Line() << (range ? "SD = (max - min) / xi" : "SD = (q3 - q1) / eta");
    }
    AddWanSdLines(out, {range, quartiles, n, xi, eta, w, a, b, q1, q3});
    out.Line().Line() << "Therefore, the SD = " << sd;
    result.working = out.Take();
  }
  return result;
}

}  // namespace kelmory::batch
