// The whole t-table window load, as the t-Table button does it: the window
// built from its design, the data file read into the list, the window shown.
// For the shipped file and for a file of 32,766 rows, each laid in turn
// beside this program, where the window looks for its data.
//
//   build/benchmarks/window_bench/citable_window_bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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

// Lays `source` beside the program, where the window reads it, then times
// the loads.
void LoadWindow(benchmark::State& state, const QString& source, int expected_rows) {
  QFile::remove(DataFile());
  if (!QFile::copy(source, DataFile())) state.SkipWithError("cannot lay out the data file");
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

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);

  QTemporaryDir scratch;
  // Half the rows too: the peak memory of the two shows how it grows.
  const QString half = scratch.filePath(QStringLiteral("half.mdb"));
  const QString large = scratch.filePath(QStringLiteral("large.mdb"));
  if (!kelmory::bench::MakeLargeTable(QFile::encodeName(half).toStdString(), 16383) ||
      !kelmory::bench::MakeLargeTable(QFile::encodeName(large).toStdString(), 32766)) {
    return 1;
  }

  const auto add = [](const char* name, const QString& source, int rows) {
    benchmark::RegisterBenchmark(name, LoadWindow, source, rows)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(9)
        ->ReportAggregatesOnly(true);
  };
  add("WindowLoad/shipped", QStringLiteral(KELMORY_CUTOFF_FILE), 107);
  add("WindowLoad/16383_rows", half, 16383);
  add("WindowLoad/32766_rows", large, 32766);
  benchmark::RunSpecifiedBenchmarks();

  QFile::remove(DataFile());
  benchmark::Shutdown();
  return 0;
}
