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

#include "ttable/ttable_source.h"

namespace {

// Builds a `ttable` of 13 TEXT columns with `rows` rows of table-like texts.
bool MakeLargeTable(const std::string& path, int rows) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) == SQLITE_OK;
  ok = ok && sqlite3_exec(db,
                          "begin; create table ttable (df INTEGER, t50 TEXT, t60 TEXT, t70 TEXT, "
                          "t80 TEXT, t90 TEXT, t95 TEXT, t96 TEXT, t98 TEXT, t99 TEXT, t995 TEXT, "
                          "t998 TEXT, t999 TEXT)",
                          nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "insert into ttable values (?,?,?,?,?,?,?,?,?,?,?,?,?)", -1,
                                &insert, nullptr) == SQLITE_OK;
  for (int row = 1; ok && row <= rows; ++row) {
    sqlite3_bind_int(insert, 1, row);
    for (int column = 2; column <= 13; ++column) {
      char text[16];
      std::snprintf(text, sizeof text, "%d.%03d", column / 4, (row * column) % 1000);
      sqlite3_bind_text(insert, column, text, -1, SQLITE_TRANSIENT);
    }
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

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
  if (!MakeLargeTable(large, kelmory::TTableSource::kMaxRows)) {
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
