// TTableSource::ReadRows: the shipped data file (107 rows) and a file of the
// most rows a read delivers, 32,766, made at start in a temporary directory.
// Each benchmark runs 15 repetitions and reports only the mean, median and spread:
//
//   build/benchmarks/ttable_bench
//
// The handler copies every row, as the window's list does.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "benchmarks/large_ttable.h"
#include "ttable/ttable_source.h"

namespace {

void ReadFile(benchmark::State& state, const std::string& path, int expected_rows) {
  std::vector<kelmory::TTableRow> rows;
  for (auto _ : state) {
    rows.clear();
    const kelmory::TTableReadOutcome outcome = kelmory::TTableSource::ReadRowsFromFile(
        path, [&](const kelmory::TTableRow& row) { rows.push_back(row); });
    if (!outcome.completed || outcome.rows_delivered != expected_rows) {
      state.SkipWithError(outcome.failure_text.c_str());
      break;
    }
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["rows"] = static_cast<double>(expected_rows);
}

}  // namespace

int main(int argc, char** argv) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "kelmory-ttable-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path directory = pattern;
  const std::string large = (directory / "cutoff.mdb").string();
  if (!kelmory::bench::MakeLargeTable(large, kelmory::TTableSource::kMaxRows)) {
    std::fprintf(stderr, "cannot make %s\n", large.c_str());
    std::filesystem::remove_all(directory);
    return 1;
  }

  benchmark::RegisterBenchmark("ReadRows/shipped", ReadFile, std::string(KELMORY_CUTOFF_FILE), 107)
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(15)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("ReadRows/32766_rows", ReadFile, large,
                               kelmory::TTableSource::kMaxRows)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(15)
      ->ReportAggregatesOnly(true);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(directory);
  return 0;
}
