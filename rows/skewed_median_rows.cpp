// The mean and SD of a median set from skewed data, beside the normal-theory
// estimate: the log-normal method of Shi et al. (2020), with its
// bias-corrected back-transformation, and the quantile estimation (QE)
// method of McGrath et al. (2020), which fits the normal, log-normal, gamma,
// Weibull and beta distributions to the quantiles by least squares and takes
// the best fit.

#include <fast_float/fast_float.h>
#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/policies/policy.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

// Boost computes in long double by default: 80 bits on x86, 128 in software
// on WebAssembly (a dozen times slower there), so that the fits differ
// between platforms. In double they take the same steps everywhere.
using InDouble = boost::math::policies::policy<boost::math::policies::promote_double<false>>;

// The fit settles the first seven digits or so; those after them are the
// optimiser's, and differ from one platform's C library to the next. The
// estimate keeps seven, so that every platform writes the same figure.
double FitDigits(double value) {
  if (!std::isfinite(value)) return value;
  char text[40];
  const char* end = fmt::format_to_n(text, sizeof text, "{:.7g}", value).out;
  double kept = value;
  fast_float::from_chars(text, end, kept);
  return kept;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

double NormalQuantile(double p) {
  return boost::math::quantile(boost::math::normal_distribution<double, InDouble>(), p);
}

// The smallest f over [lo, hi]: the best of a grid (logarithmic where the
// range is wide), then Brent's method between its neighbours. The grid
// keeps a profile with more than one dip from ending in the wrong one.
struct Minimum {
  double x = 0, value = kInf;
};
Minimum Minimize(const std::function<double(double)>& f, double lo, double hi, int points) {
  const bool log_scale = lo > 0 && hi / lo > 100;
  const auto at = [&](int i) {
    const double t = static_cast<double>(i) / (points - 1);
    return log_scale ? lo * std::pow(hi / lo, t) : lo + (hi - lo) * t;
  };
  Minimum best;
  int best_i = 0;
  for (int i = 0; i < points; ++i) {
    const double value = f(at(i));
    if (value < best.value) {
      best = {at(i), value};
      best_i = i;
    }
  }
  if (!std::isfinite(best.value)) return best;
  const double left = at(std::max(best_i - 1, 0)), right = at(std::min(best_i + 1, points - 1));
  std::uintmax_t iterations = 200;
  const auto found = boost::math::tools::brent_find_minima(f, left, right, 52, iterations);
  if (found.second < best.value) best = {found.first, found.second};
  return best;
}

// A family with a scale: its quantiles are scale * unit(p; shape), so for
// a given shape the least-squares scale is sum(q u) / sum(u^2), held within
// its bounds. What is left is a search over the shape alone.
struct ScaleFit {
  double shape = 0, scale = 0, value = kInf;
};
ScaleFit FitWithScale(const std::vector<double>& p, const std::vector<double>& q,
                      const std::function<double(double shape, double p)>& unit, double shape_lo,
                      double shape_hi, double scale_lo, double scale_hi) {
  const auto scale_for = [&](double shape, double& value) {
    double qu = 0, uu = 0;
    std::vector<double> u(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
      u[i] = unit(shape, p[i]);
      qu += q[i] * u[i];
      uu += u[i] * u[i];
    }
    const double scale = std::clamp(qu / uu, scale_lo, scale_hi);
    value = 0;
    for (std::size_t i = 0; i < p.size(); ++i)
      value += (scale * u[i] - q[i]) * (scale * u[i] - q[i]);
    if (!std::isfinite(value)) value = kInf;
    return scale;
  };
  const Minimum best = Minimize(
      [&](double shape) {
        double value = kInf;
        scale_for(shape, value);
        return value;
      },
      shape_lo, shape_hi, 150);
  ScaleFit fit;
  if (!std::isfinite(best.value)) return fit;
  fit.shape = best.x;
  fit.scale = scale_for(best.x, fit.value);
  return fit;
}

// Nelder-Mead in two dimensions within a box (points held to it), from
// `start`, restarted from its best point so that a collapsed simplex gets
// a second look.
std::array<double, 2> NelderMead(const std::function<double(double, double)>& f,
                                 std::array<double, 2> start, double lo, double hi) {
  using Point = std::array<double, 2>;
  const auto held = [&](Point x) {
    for (double& v : x) v = std::clamp(v, lo, hi);
    return x;
  };
  Point best = held(start);
  for (int round = 0; round < 3; ++round) {
    std::array<Point, 3> x = {best, held({best[0] * 1.2 + 0.05, best[1]}),
                              held({best[0], best[1] * 1.2 + 0.05})};
    std::array<double, 3> v{};
    for (int i = 0; i < 3; ++i) v[i] = f(x[i][0], x[i][1]);
    for (int step = 0; step < 300; ++step) {
      std::array<int, 3> order = {0, 1, 2};
      std::sort(order.begin(), order.end(), [&](int a, int b) { return v[a] < v[b]; });
      const Point lowest = x[order[0]], middle = x[order[1]], worst = x[order[2]];
      const double v0 = v[order[0]], v1 = v[order[1]], v2 = v[order[2]];
      x = {lowest, middle, worst};
      v = {v0, v1, v2};
      const Point c = {(lowest[0] + middle[0]) / 2, (lowest[1] + middle[1]) / 2};
      const auto along = [&](double t) {
        return held({c[0] + t * (worst[0] - c[0]), c[1] + t * (worst[1] - c[1])});
      };
      const Point r = along(-1);
      const double fr = f(r[0], r[1]);
      if (fr < v0) {
        const Point e = along(-2);
        const double fe = f(e[0], e[1]);
        x[2] = fe < fr ? e : r;
        v[2] = std::min(fe, fr);
      } else if (fr < v1) {
        x[2] = r;
        v[2] = fr;
      } else {
        const Point k = along(0.5);
        const double fk = f(k[0], k[1]);
        if (fk < v2) {
          x[2] = k;
          v[2] = fk;
        } else {
          for (int i = 1; i < 3; ++i) {
            x[i] = held({(x[0][0] + x[i][0]) / 2, (x[0][1] + x[i][1]) / 2});
            v[i] = f(x[i][0], x[i][1]);
          }
        }
      }
      if (std::fabs(v[2] - v[0]) <= 1e-15 * (std::fabs(v[0]) + 1e-300)) break;
    }
    best = x[std::min_element(v.begin(), v.end()) - v.begin()];
  }
  return best;
}

}  // namespace

SkewedEstimate LogNormalEstimate(const MedianSet& set, char decimal) {
  SkewedEstimate estimate;
  estimate.method = "log-normal";
  for (std::size_t i = 0; i < set.values.size(); ++i) {
    if (!(set.values[i] > 0)) {
      estimate.refusal = std::string(set.names[i]) + " '" + set.texts[i] +
                         "' is not above 0: the log-normal method takes logarithms";
      return estimate;
    }
  }
  const double n = set.n;
  const double a = set.range ? WideLog(set.min) : 0, b = set.range ? WideLog(set.max) : 0;
  const double q1 = set.quartiles ? WideLog(set.q1) : 0, q3 = set.quartiles ? WideLog(set.q3) : 0;
  const double m = WideLog(set.median);
  const double log_n = WideLog(n);
  double mu = 0, sigma = 0, s4 = 0, phi = 0, phi_1 = 0, phi_2 = 0, raw = 0;
  // Each set's weights for the log mean, its correction of the log SD, and
  // the constants of the back-transformation (Shi et al. 2020, Table 1).
  if (set.range && set.quartiles) {
    const double w1 = 2.2 / (2.2 + WidePow(n, 0.75)), w2 = 0.7 - 0.72 / WidePow(n, 0.55);
    mu = w1 * (a + b) / 2 + w2 * (q1 + q3) / 2 + (1 - w1 - w2) * m;
    const double w = 1 / (1 + 0.07 * WidePow(n, 0.6));
    raw = w * (b - a) / Xi(n) + (1 - w) * (q3 - q1) / Eta(n);
    sigma = raw / std::sqrt(1 + 0.28 / (log_n * log_n));
    s4 = WidePow(raw, 4) / (1 + 3.93 / n);
    phi = 1 + 0.405 * sigma * sigma / n + 0.315 * s4 / n;
    phi_1 = 1 + 1.62 * sigma * sigma / n + 5.04 * s4 / n;
    phi_2 = 1 + 1.62 * sigma * sigma / n + 1.26 * s4 / n;
  } else if (set.range) {
    const double w = 4 / (4 + WidePow(n, 0.75));
    mu = w * (a + b) / 2 + (1 - w) * m;
    raw = (b - a) / Xi(n);
    sigma = raw / std::sqrt(1.01 + 0.25 / (log_n * log_n));
    s4 = WidePow(raw, 4) / (1 + 2.23 / (log_n * log_n));
    phi = 1 + 0.565 * sigma * sigma / n + 0.37 * s4 / n;
    phi_1 = 1 + 2.26 * sigma * sigma / n + 5.92 * s4 / n;
    phi_2 = 1 + 2.26 * sigma * sigma / n + 1.48 * s4 / n;
  } else {
    const double w = 0.7 + 0.39 / n;
    mu = w * (q1 + q3) / 2 + (1 - w) * m;
    raw = (q3 - q1) / Eta(n);
    sigma = raw / std::sqrt(1 + 1.58 / n);
    s4 = WidePow(raw, 4) / (1 + 19.2 / WidePow(n, 1.2));
    phi = 1 + 0.57 * sigma * sigma / n + 0.75 * s4 / n;
    phi_1 = 1 + 2.28 * sigma * sigma / n + 12 * s4 / n;
    phi_2 = 1 + 2.28 * sigma * sigma / n + 3 * s4 / n;
  }
  estimate.mean = WideExp(mu + sigma * sigma / 2) / phi;
  const double second =
      WideExp(2 * mu + 2 * sigma * sigma) / phi_1 - WideExp(2 * mu + sigma * sigma) / phi_2;
  estimate.sd = std::sqrt(second);
  if (!std::isfinite(estimate.mean) || !std::isfinite(estimate.sd) || !(estimate.sd > 0)) {
    estimate.refusal = "the log-normal estimate cannot be computed from these values";
    return estimate;
  }
  using F = WorkingLines::Formula;
  WorkingLines out(decimal);
  out << "Skewed data, log-normal (Shi et al. 2020), on the logarithms of the values:";
  out.Line() << "mu = " << mu << ", the mean of the logarithms as above";
  out.Line() << "sigma = " << sigma << ", their SD with the log-normal correction";
  out.Line() << F{"mean = exp(mu + sigma^2 / 2) / phi = exp("} << mu << " + " << sigma
             << "^2 / 2) / " << phi << " = " << estimate.mean;
  out.Line() << "SD = sqrt(exp(2 * mu + 2 * sigma^2) / phi1 - exp(2 * mu + sigma^2) / phi2) = "
             << estimate.sd;
  out.Line() << "with phi = " << phi << ", phi1 = " << phi_1 << ", phi2 = " << phi_2
             << " the bias corrections of the back-transformation";
  estimate.working = out.Take();
  return estimate;
}

SkewedEstimate QeEstimate(const MedianSet& set, char decimal) {
  const double n = set.n;
  std::vector<double> p, q;
  if (set.range) p.push_back(1 / n), q.push_back(set.min);
  if (set.quartiles) p.push_back(0.25), q.push_back(set.q1);
  p.push_back(0.5), q.push_back(set.median);
  if (set.quartiles) p.push_back(0.75), q.push_back(set.q3);
  if (set.range) p.push_back(1 - 1 / n), q.push_back(set.max);
  const double low = set.quartiles ? set.q1 : set.min, high = set.quartiles ? set.q3 : set.max;
  const double least = *std::min_element(q.begin(), q.end());
  const double most = *std::max_element(q.begin(), q.end());

  struct Family {
    std::string_view name, method;
    double first = 0, second = 0, value = kInf, mean = 0, sd = 0;
  };
  std::array<Family, 5> families = {{{"normal", "qe normal"},
                                     {"log-normal", "qe log-normal"},
                                     {"gamma", "qe gamma"},
                                     {"Weibull", "qe weibull"},
                                     {"beta", "qe beta"}}};
  // The parameters' bounds are those of McGrath et al.'s software: the
  // location within the quartiles (or the range), the spread and shapes
  // within fixed limits.
  {
    std::vector<double> z(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) z[i] = NormalQuantile(p[i]);
    // For a given sigma, the best mu is the mean of q - sigma z, held within its bounds.
    const auto mu_for = [&](double sigma, double& value) {
      double sum = 0;
      for (std::size_t i = 0; i < p.size(); ++i) sum += q[i] - sigma * z[i];
      const double mu = std::clamp(sum / static_cast<double>(p.size()), low, high);
      value = 0;
      for (std::size_t i = 0; i < p.size(); ++i)
        value += (mu + sigma * z[i] - q[i]) * (mu + sigma * z[i] - q[i]);
      return mu;
    };
    const Minimum best = Minimize(
        [&](double sigma) {
          double value = 0;
          mu_for(sigma, value);
          return value;
        },
        1e-3, 50, 400);
    Family& f = families[0];
    f.second = best.x;
    f.first = mu_for(best.x, f.value);
    f.mean = f.first;
    f.sd = f.second;
  }
  if (least > 0) {
    // Log-normal: quantiles exp(mu) * exp(sigma z), exp(mu) within the bounds.
    const ScaleFit fit = FitWithScale(
        p, q, [&](double sigma, double pi) { return std::exp(sigma * NormalQuantile(pi)); }, 1e-3,
        10, low, high);
    Family& f = families[1];
    f.first = std::log(fit.scale);  // mu
    f.second = fit.shape;           // sigma
    f.value = fit.value;
    f.mean = std::exp(f.first + f.second * f.second / 2);
    f.sd = std::sqrt((std::exp(f.second * f.second) - 1) *
                     std::exp(2 * f.first + f.second * f.second));
  }
  if (least >= 0) {
    // Gamma: quantiles scale with 1 / rate, the rate within [1e-3, 100].
    const ScaleFit gamma = FitWithScale(
        p, q,
        [](double shape, double pi) { return boost::math::gamma_p_inv(shape, pi, InDouble()); },
        1e-3, 100, 1.0 / 100, 1.0 / 1e-3);
    Family& g = families[2];
    g.first = gamma.shape;
    g.second = 1 / gamma.scale;  // rate
    g.value = gamma.value;
    g.mean = g.first / g.second;
    g.sd = std::sqrt(g.first) / g.second;
    // Weibull: scale * (-ln(1 - p))^(1 / shape).
    const ScaleFit weibull = FitWithScale(
        p, q, [](double shape, double pi) { return std::pow(-std::log1p(-pi), 1 / shape); }, 1e-3,
        100, 1e-3, 100);
    Family& w = families[3];
    w.first = weibull.shape;
    w.second = weibull.scale;
    w.value = weibull.value;
    const double g1 = std::tgamma(1 + 1 / w.first), g2 = std::tgamma(1 + 2 / w.first);
    w.mean = w.second * g1;
    w.sd = w.second * std::sqrt(g2 - g1 * g1);
    if (!std::isfinite(w.mean) || !std::isfinite(w.sd)) w.value = kInf;
  }
  if (least >= 0 && most <= 1) {
    // Beta has no scale: both shapes are searched, from those whose mean
    // and SD are the median and the normal-theory SD, as the authors'
    // software starts.
    const double m0 = set.median;
    const double s0 = set.quartiles ? (set.q3 - set.q1) / Eta(n) : (set.max - set.min) / Xi(n);
    double a0 = m0 * (m0 * (1 - m0) / (s0 * s0) - 1), b0 = a0 * (1 - m0) / m0;
    if (!(a0 > 0 && b0 > 0 && std::isfinite(a0) && std::isfinite(b0))) a0 = b0 = 1;
    const auto distance = [&](double alpha, double beta) {
      double value = 0;
      for (std::size_t i = 0; i < p.size(); ++i) {
        const double d = boost::math::ibeta_inv(alpha, beta, p[i], InDouble()) - q[i];
        value += d * d;
      }
      return std::isfinite(value) ? value : kInf;
    };
    const std::array<double, 2> shapes = NelderMead(distance, {a0, b0}, 1e-3, 40);
    Family& f = families[4];
    f.first = shapes[0];
    f.second = shapes[1];
    f.value = distance(f.first, f.second);
    const double sum = f.first + f.second;
    f.mean = f.first / sum;
    f.sd = std::sqrt(f.first * f.second / (sum * sum * (sum + 1)));
  }

  // The first of the smallest distances, in the families' order.
  std::size_t chosen = 0;
  for (std::size_t i = 1; i < families.size(); ++i) {
    if (families[i].value < families[chosen].value) chosen = i;
  }
  SkewedEstimate estimate;
  estimate.method = families[chosen].method;
  estimate.mean = FitDigits(families[chosen].mean);
  estimate.sd = FitDigits(families[chosen].sd);
  if (!std::isfinite(estimate.mean) || !std::isfinite(estimate.sd)) {
    estimate.refusal = "the QE estimate cannot be computed from these values";
    return estimate;
  }
  WorkingLines out(decimal);
  out << "Skewed data, quantile estimation (McGrath et al. 2020):";
  out.Line() << "each distribution fitted to the quantiles at p = ";
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (i) out << ", ";
    out << p[i];
  }
  out << " by least squares:";
  const std::array<std::string_view, 5> parameters = {"mu, sigma", "mu, sigma", "shape, rate",
                                                      "shape, scale", "shape1, shape2"};
  for (std::size_t i = 0; i < families.size(); ++i) {
    const Family& f = families[i];
    out.Line() << f.name << ": ";
    if (!std::isfinite(f.value)) {
      out << "not fitted to these values";
      continue;
    }
    // The fit's figures to the digits it settles, as the estimate.
    out << parameters[i] << " = " << FitDigits(f.first) << ", " << FitDigits(f.second)
        << "; distance " << FitDigits(f.value) << "; mean " << FitDigits(f.mean) << ", SD "
        << FitDigits(f.sd);
  }
  out.Line() << "The best fit is the " << families[chosen].name
             << " distribution: mean = " << estimate.mean << ", SD = " << estimate.sd;
  estimate.working = out.Take();
  return estimate;
}

}  // namespace kelmory::batch
