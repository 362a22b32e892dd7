// A median row under each --median choice, against the normal estimate of
// the same row as the floor: QE fits four distributions by least squares
// (five when every value lies in [0, 1]), the log-normal method is closed
// form. Compare the ratios to that floor, not the times.

#include <benchmark/benchmark.h>

#include <array>
#include <string_view>

#include "rows/row_rules.h"

namespace {

using kelmory::batch::MedianMethod;

void BM_MedianRow(benchmark::State& state, MedianMethod median,
                  std::array<std::string_view, 5> set) {
  kelmory::batch::RowCells cells;
  cells.text[kelmory::batch::kN] = "100";
  cells.text[kelmory::batch::kMin] = set[0];
  cells.text[kelmory::batch::kQ1] = set[1];
  cells.text[kelmory::batch::kMedian] = set[2];
  cells.text[kelmory::batch::kQ3] = set[3];
  cells.text[kelmory::batch::kMax] = set[4];
  kelmory::batch::RowSettings settings;
  settings.median = median;
  kelmory::CriticalValueCache cache;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelmory::batch::ConvertRow(cells, settings, cache));
  }
}

constexpr std::array<std::string_view, 5> kRange = {"2", "", "4", "", "9"};
constexpr std::array<std::string_view, 5> kFive = {"2", "3", "4", "6", "9"};
constexpr std::array<std::string_view, 5> kUnit = {"0.1", "", "0.3", "", "0.9"};

BENCHMARK_CAPTURE(BM_MedianRow, RangeNormalFloor, MedianMethod::Normal, kRange);
BENCHMARK_CAPTURE(BM_MedianRow, RangeLogNormal, MedianMethod::LogNormal, kRange);
BENCHMARK_CAPTURE(BM_MedianRow, RangeQe, MedianMethod::Qe, kRange);
BENCHMARK_CAPTURE(BM_MedianRow, FiveNormalFloor, MedianMethod::Normal, kFive);
BENCHMARK_CAPTURE(BM_MedianRow, FiveQe, MedianMethod::Qe, kFive);
BENCHMARK_CAPTURE(BM_MedianRow, UnitRangeQeWithBeta, MedianMethod::Qe, kUnit);

}  // namespace

BENCHMARK_MAIN();
