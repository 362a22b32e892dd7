// Rows that give subgroups to merge into one group (Cochrane Handbook,
// Table 6.5.a), combined two at a time in the order of k.

#include <cmath>

#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

std::string Name(int column, int k) {
  return std::string(kSubgroupPrefixes[column]) + std::to_string(k);
}

// "subgroup 3 has n_3 and mean_3 but no sd_3"
std::string PartialSubgroup(const SubgroupValues& values, int k) {
  std::string has, lacks;
  for (int c = 0; c < kSubgroupColumnCount; ++c) {
    std::string& list = values[c] ? has : lacks;
    if (!list.empty()) list.append(values[c] ? " and " : " or ");
    list.append(Name(c, k));
  }
  return "subgroup " + std::to_string(k) + " has " + has + " but no " + lacks;
}

}  // namespace

RowResult SubgroupRow(const std::vector<SubgroupValues>& values, const RowCells& cells,
                      const RowSettings& settings) {
  struct Group {
    int k;
    double n, mean, sd;
  };
  std::vector<Group> groups;
  for (std::size_t s = 0; s < values.size(); ++s) {
    const SubgroupValues& v = values[s];
    const int k = cells.subgroups[s].k;
    const int filled = v[kSubN].has_value() + v[kSubMean].has_value() + v[kSubSd].has_value();
    if (filled == 0) continue;
    if (filled < kSubgroupColumnCount) return Refused(PartialSubgroup(v, k));
    const auto& text = cells.subgroups[s].text;
    if (auto refusal = CountRefusal(Name(kSubN, k), *v[kSubN], text[kSubN]))
      return Refused(std::move(*refusal));
    if (*v[kSubSd] < 0) return Refused(Quoted(Name(kSubSd, k), " is negative", text[kSubSd]));
    groups.push_back({k, *v[kSubN], *v[kSubMean], *v[kSubSd]});
  }
  if (groups.size() < 2) {
    return Refused("only subgroup " + std::to_string(groups.front().k) +
                   " is complete: combining takes two or more");
  }

  WorkingLines out(settings.decimal);
  out << "Combining the subgroups in column order (Cochrane Handbook, Table 6.5.a):";
  out.Line() << "N = N1 + N2";
  out.Line() << "M = (N1 * M1 + N2 * M2) / N";
  out.Line() << "SD = sqrt(((N1 - 1) * SD1^2 + (N2 - 1) * SD2^2 + N1 * N2 / N * (M1^2 + M2^2 - 2 * "
                "M1 * M2)) / (N - 1))";
  double n = groups[0].n, mean = groups[0].mean, sd = groups[0].sd;
  for (std::size_t g = 1; g < groups.size(); ++g) {
    const Group& next = groups[g];
    const double total = n + next.n;
    const double combined_mean = (n * mean + next.n * next.mean) / total;
    // M1^2 + M2^2 - 2 M1 M2 taken as (M1 - M2)^2: the same quantity without
    // the cancellation between large squares.
    const double gap = mean - next.mean;
    const double combined_sd = std::sqrt(
        ((n - 1) * sd * sd + (next.n - 1) * next.sd * next.sd + n * next.n / total * (gap * gap)) /
        (total - 1));
    out.Line().Line();
    if (g == 1) {
      out << "Subgroups " << groups[0].k << " and " << next.k << ":";
    } else {
      out << "With subgroup " << next.k << ":";
    }
    out.Line() << "N = " << n << " + " << next.n << " = " << total;
    out.Line() << "M = (" << n << " * " << mean << " + " << next.n << " * " << next.mean << ") / "
               << total << " = " << combined_mean;
    out.Line() << "SD = sqrt((" << n - 1 << " * " << sd << "^2 + " << next.n - 1 << " * " << next.sd
               << "^2 + " << n << " * " << next.n << " / " << total << " * (" << mean << "^2 + "
               << next.mean << "^2 - 2 * " << mean << " * " << next.mean << ")) / " << total - 1
               << ") = " << combined_sd;
    n = total;
    mean = combined_mean;
    sd = combined_sd;
  }
  if (!std::isfinite(n) || !std::isfinite(mean) || !std::isfinite(sd))
    return Refused("the combined figures are too large to be computed");
  if (sd == 0) {
    // Every sd_k 0 and every mean_k the same: no spread to pool.
    std::string listed;
    for (std::size_t s = 0; s < values.size(); ++s) {
      if (!values[s][kSubSd]) continue;
      for (const int c : {kSubMean, kSubSd}) {
        listed.append(listed.empty() ? "" : ", ");
        listed.append(Name(c, cells.subgroups[s].k) + " '" +
                      CellExcerpt(TrimBlanks(cells.subgroups[s].text[c])) + "'");
      }
    }
    return Refused(ZeroSd("the subgroups have no spread (" + listed + ")"));
  }

  RowResult result;
  result.method = "combined";
  result.sd = sd;
  result.estimated_mean = mean;
  result.total_n = n;
  if (settings.working) {
    out.Line().Line() << "Therefore, the combined N = " << n << ", mean = " << mean
                      << " and SD = " << sd;
    result.working = out.Take();
  }
  return result;
}

}  // namespace kelmory::batch
