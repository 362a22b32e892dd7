// Rows that give a median with its range, its quartiles or both: the mean
// after Luo et al. (2018), the SD after Wan et al. (2014) or Shi et al.
// (2020), and the skewness test of Shi et al. (2023).

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

constexpr double kLeastN = 5;

// The normal quantile at 1 - tail: the tail is formed in closed form, not
// as 1 - p, so that large n keep their digits; correctly rounded, so that
// every platform writes the same SD.
double UpperNormal(double tail) {
  return UpperNormalQuantile(tail).value_or(std::numeric_limits<double>::quiet_NaN());
}

std::string Listed(const std::vector<Column>& columns) {
  std::string text;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) text.append(i + 1 == columns.size() ? " and " : ", ");
    text.append(kColumnNames[columns[i]]);
  }
  return text;
}

}  // namespace

double Xi(double n) { return 2 * UpperNormal(0.625 / (n + 0.25)); }
double Eta(double n) { return 2 * UpperNormal((0.25 * n + 0.375) / (n + 0.25)); }

std::string QuotedCell(Column column, const std::array<std::string_view, kColumnCount>& text) {
  return std::string(kColumnNames[column]) + " '" + CellExcerpt(TrimBlanks(text[column])) + "'";
}

std::optional<std::string> SpreadRefusal(const RowValues& value,
                                         const std::array<std::string_view, kColumnCount>& text,
                                         const std::vector<Column>& set, bool range, bool quartiles,
                                         std::string_view order) {
  for (std::size_t i = 1; i < set.size(); ++i) {
    if (*value[set[i - 1]] > *value[set[i]]) {
      return QuotedCell(set[i - 1], text) + " is above " + QuotedCell(set[i], text) +
             ": the values must run " + std::string(order);
    }
  }
  if (range && !(*value[kMax] > *value[kMin]))
    return QuotedCell(kMax, text) + " equals " + QuotedCell(kMin, text) +
           ": the range must be positive";
  if (quartiles && !(*value[kQ3] > *value[kQ1]))
    return QuotedCell(kQ3, text) + " equals " + QuotedCell(kQ1, text) +
           ": the interquartile range must be positive";
  return std::nullopt;
}

void AddWanSdLines(WorkingLines& out, const WanSd& sd) {
  using F = WorkingLines::Formula;
  const auto& [range, quartiles, n, xi, eta, w, a, b, q1, q3] = sd;
  if (range) {
    out.Line() << F{"xi = 2 * z((N - 0.375) / (N + 0.25)) = 2 * z(("} << n << F{" - 0.375) / ("}
               << n << F{" + 0.25)) = "} << xi;
  }
  if (quartiles) {
    out.Line() << F{"eta = 2 * z((0.75 * N - 0.125) / (N + 0.25)) = 2 * z((0.75 * "} << n
               << F{" - 0.125) / ("} << n << F{" + 0.25)) = "} << eta;
  }
  out.Line() << "with z the standard normal quantile";
  if (range && quartiles) {
    out.Line() << "Which computes to " << w << " * (" << b << " - " << a << ") / " << xi << " + "
               << 1 - w << " * (" << q3 << " - " << q1 << ") / " << eta;
  } else if (range) {
    out.Line() << "Which computes to (" << b << " - " << a << ") / " << xi;
  } else {
    out.Line() << "Which computes to (" << q3 << " - " << q1 << ") / " << eta;
  }
}

RowResult MedianRow(const RowValues& value, const RowCells& cells, const RowSettings& settings) {
  const auto& text = cells.text;
  if (!value[kN]) return Refused("n is empty");
  const double n = *value[kN];
  if (auto refusal = CountRefusal("n", n, text[kN])) return Refused(std::move(*refusal));
  if (n < kLeastN)
    return Refused(Quoted("n", " is below 5, the least a median row takes", text[kN]));

  const bool range = value[kMin] || value[kMax], quartiles = value[kQ1] || value[kQ3];
  if (!range && !quartiles)
    return Refused("median is given alone: give min and max, q1 and q3, or all four");
  std::vector<Column> set;
  if (range && quartiles) {
    set = {kMin, kQ1, kMedian, kQ3, kMax};
  } else if (range) {
    set = {kMin, kMedian, kMax};
  } else {
    set = {kQ1, kMedian, kQ3};
  }
  std::vector<Column> missing;
  for (const Column c : set) {
    if (!value[c]) missing.push_back(c);
  }
  if (!missing.empty()) {
    return Refused("the median set is incomplete: " + Listed(missing) +
                   (missing.size() == 1 ? " is" : " are") +
                   " missing; give min, median and max, q1, median and q3, or all five");
  }
  if (auto refusal =
          SpreadRefusal(value, text, set, range, quartiles, "min <= q1 <= median <= q3 <= max"))
    return Refused(std::move(*refusal));

  const double m = *value[kMedian];
  const double a = range ? *value[kMin] : 0, b = range ? *value[kMax] : 0;
  const double q1 = quartiles ? *value[kQ1] : 0, q3 = quartiles ? *value[kQ3] : 0;
  const double xi = range ? Xi(n) : 0, eta = quartiles ? Eta(n) : 0;
  const double t_range = range ? std::fabs(a + b - 2 * m) / (b - a) : 0;
  const double t_quartiles = quartiles ? std::fabs(q1 + q3 - 2 * m) / (q3 - q1) : 0;

  RowResult result;
  double mean = 0, sd = 0, skew = 0, critical = 0;
  // The mean's weights, the SD's weight and 2.65 ln(0.6 n) / sqrt(n) of all five.
  double w = 0, w2 = 0, ws = 0, scale = 0;
  if (range && quartiles) {
    result.method = "median-five";
    w = 2.2 / (2.2 + WidePow(n, 0.75));
    w2 = 0.7 - 0.72 / WidePow(n, 0.55);
    mean = w * (a + b) / 2 + w2 * (q1 + q3) / 2 + (1 - w - w2) * m;
    ws = 1 / (1 + 0.07 * WidePow(n, 0.6));
    sd = ws * (b - a) / xi + (1 - ws) * (q3 - q1) / eta;
    scale = 2.65 * WideLog(0.6 * n) / std::sqrt(n);
    skew = std::max(scale * t_range, t_quartiles);
    critical = 3 / std::sqrt(n) - 40 / (n * n * n);
  } else if (range) {
    result.method = "median-range";
    w = 4 / (4 + WidePow(n, 0.75));
    mean = w * (a + b) / 2 + (1 - w) * m;
    sd = (b - a) / xi;
    skew = t_range;
    critical = 1 / WideLog(n + 9) + 2.5 / (n + 1);
  } else {
    result.method = "median-iqr";
    w = 0.7 + 0.39 / n;
    mean = w * (q1 + q3) / 2 + (1 - w) * m;
    sd = (q3 - q1) / eta;
    skew = t_quartiles;
    critical = 2.65 / std::sqrt(n) - 6 / (n * n);
  }
  if (!std::isfinite(mean) || !std::isfinite(sd) || !std::isfinite(skew))
    return Refused("the values are too large to be computed");
  result.sd = sd;
  result.estimated_mean = mean;

  const bool skewed = skew >= critical;
  if (skewed) {
    const int places = PlacesApart(skew, critical, 3);
    AddWarning(result.warning, "skewed: the median is off-centre (T = " +
                                   FixedText(skew, places, settings.decimal) + ", critical value " +
                                   FixedText(critical, places, settings.decimal) +
                                   "); a mean and SD estimated from it may mislead");
  }
  AddWarning(result.warning, "estimated from the median: consider it in a sensitivity analysis");

  // A skewed-data estimate beside the normal one, and the one chosen.
  SkewedEstimate other;
  bool use_other = false;
  if (settings.median != MedianMethod::Normal) {
    MedianSet median_set{n, a, q1, m, q3, b, range, quartiles, {}, {}, {}};
    for (const Column c : set) {
      median_set.values.push_back(*value[c]);
      median_set.names.push_back(kColumnNames[c]);
      median_set.texts.push_back(CellExcerpt(TrimBlanks(text[c])));
    }
    const bool lognormal = settings.median == MedianMethod::LogNormal;
    other = lognormal ? LogNormalEstimate(median_set, settings.decimal)
                      : QeEstimate(median_set, settings.decimal);
    result.mean_normal = mean;
    result.sd_normal = sd;
    if (other.refusal.empty()) {
      result.mean_skewed = other.mean;
      result.sd_skewed = other.sd;
      result.skewed_method = other.method;
    }
    use_other = settings.median != MedianMethod::Auto || skewed;
    if (use_other && !other.refusal.empty()) {
      result.sd.reset();
      result.estimated_mean.reset();
      result.method = {};
      result.warning.clear();
      result.refusal = other.refusal;
    } else if (use_other) {
      result.sd = other.sd;
      result.estimated_mean = other.mean;
      result.method = other.method;
    }
  }

  if (settings.working) {
    using F = WorkingLines::Formula;
    WorkingLines out(settings.decimal);
    out << "Estimated mean (Luo et al. 2018):";
    if (range && quartiles) {
      out.Line() << "mean = w1 * (min + max) / 2 + w2 * (q1 + q3) / 2 + (1 - w1 - w2) * median";
      out.Line() << F{"w1 = 2.2 / (2.2 + N^0.75) = "} << w;
      out.Line() << F{"w2 = 0.7 - 0.72 / N^0.55 = "} << w2;
      out.Line() << "Which computes to " << w << " * (" << a << " + " << b << ") / 2 + " << w2
                 << " * (" << q1 << " + " << q3 << ") / 2 + " << 1 - w - w2 << " * " << m;
    } else if (range) {
      out.Line() << "mean = w * (min + max) / 2 + (1 - w) * median";
      out.Line() << F{"w = 4 / (4 + N^0.75) = "} << w;
      out.Line() << "Which computes to " << w << " * (" << a << " + " << b << ") / 2 + " << 1 - w
                 << " * " << m;
    } else {
      out.Line() << "mean = w * (q1 + q3) / 2 + (1 - w) * median";
      out.Line() << F{"w = 0.7 + 0.39 / N = "} << w;
      out.Line() << "Which computes to " << w << " * (" << q1 << " + " << q3 << ") / 2 + " << 1 - w
                 << " * " << m;
    }
    out.Line() << "Therefore, the estimated mean = " << mean;
    out.Line().Line();

    if (range && quartiles) {
      out << "Standard Deviation (Shi et al. 2020):";
      out.Line() << "SD = w * (max - min) / xi + (1 - w) * (q3 - q1) / eta";
      out.Line() << F{"w = 1 / (1 + 0.07 * N^0.6) = "} << ws;
    } else if (range) {
      out << "Standard Deviation (Wan et al. 2014):";
      out.Line() << "SD = (max - min) / xi";
    } else {
      out << "Standard Deviation (Wan et al. 2014):";
      out.Line() << "SD = (q3 - q1) / eta";
    }
    AddWanSdLines(out, {range, quartiles, n, xi, eta, ws, a, b, q1, q3});
    out.Line().Line() << "Therefore, the SD = " << sd;
    out.Line().Line();

    out << "Skewness test (Shi et al. 2023):";
    if (range) {
      out.Line() << "T1 = |min + max - 2 * median| / (max - min) = |" << a << " + " << b
                 << " - 2 * " << m << "| / (" << b << " - " << a << ") = " << t_range;
    }
    if (quartiles) {
      out.Line() << "T2 = |q1 + q3 - 2 * median| / (q3 - q1) = |" << q1 << " + " << q3 << " - 2 * "
                 << m << "| / (" << q3 << " - " << q1 << ") = " << t_quartiles;
    }
    if (range && quartiles) {
      out.Line() << F{"T = max(2.65 * ln(0.6 * N) / sqrt(N) * T1, T2) = max("} << scale << " * "
                 << t_range << ", " << t_quartiles << ") = " << skew;
      out.Line() << "critical value = 3 / sqrt(N) - 40 / N^3 = " << critical;
    } else if (range) {
      out.Line() << F{"T = T1; critical value = 1 / ln(N + 9) + 2.5 / (N + 1) = "} << critical;
    } else {
      out.Line() << F{"T = T2; critical value = 2.65 / sqrt(N) - 6 / N^2 = "} << critical;
    }
    out.Line() << (skewed ? "Therefore, T reaches the critical value: the data look skewed"
                          : "Therefore, T stays below the critical value: no sign of skewness");
    if (settings.median != MedianMethod::Normal) {
      out.Line().Line();
      if (other.refusal.empty()) {
        out << other.working;
      } else {
        out << "Skewed data: " << other.refusal;
      }
      out.Line().Line();
      if (!use_other) {
        out << "Therefore, with no sign of skewness, the mean and SD are the normal estimate";
      } else if (other.refusal.empty()) {
        out << "Therefore, the mean and SD are the skewed-data estimate (" << other.method << ")";
      } else {
        out << "Therefore, the row has no skewed-data estimate";
      }
    }
    result.working = out.Take();
  }
  return result;
}

}  // namespace kelmory::batch
