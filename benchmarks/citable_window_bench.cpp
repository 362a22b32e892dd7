// The whole t-table window load, as the t-Table button does it: the window
// built from its design, the data file read into the list, the window shown.
// First for the shipped file, then for a file of 32,766 rows; both are laid
// beside this program, where the window looks for its data.
//
//   build/benchmarks/window_bench/citable_window_bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTreeWidget>

#include "benchmarks/large_ttable.h"
#include "ttable/frm_citable.h"

namespace {

QString DataFile() { return QDir(QCoreApplication::applicationDirPath()).filePath("cutoff.mdb"); }

long MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void LoadWindow(benchmark::State& state, int expected_rows) {
  for (auto _ : state) {
    auto* window = new kelmory::frmCITable();
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) state.SkipWithError("window not shown");
    const int rows = window->findChild<QTreeWidget*>("ListView1")->topLevelItemCount();
    if (rows != expected_rows) state.SkipWithError("wrong row count");
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.counters["rows"] = expected_rows;
  state.counters["max_rss_KiB"] = static_cast<double>(MaxRssKiB());
}

void Run(const char* name, int rows, benchmark::TimeUnit unit) {
  benchmark::ClearRegisteredBenchmarks();
  benchmark::RegisterBenchmark(name, LoadWindow, rows)
      ->Unit(unit)
      ->Repetitions(9)
      ->ReportAggregatesOnly(true);
  benchmark::RunSpecifiedBenchmarks();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);

  QFile::remove(DataFile());
  if (!QFile::copy(QStringLiteral(KELMORY_CUTOFF_FILE), DataFile())) return 1;
  Run("WindowLoad/shipped", 107, benchmark::kMillisecond);

  QFile::remove(DataFile());
  if (!kelmory::bench::MakeLargeTable(QFile::encodeName(DataFile()).toStdString(), 32766)) return 1;
  Run("WindowLoad/32766_rows", 32766, benchmark::kMillisecond);

  QFile::remove(DataFile());
  benchmark::Shutdown();
  return 0;
}
