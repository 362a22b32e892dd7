// The whole t-table window load, as the t-Table button does it: the window
// built from its design, the data file read into the list, the window shown.
// For the shipped file and for a file of 32,766 rows, each laid in turn
// beside this program, where the window looks for its data.
//
// The floor reads the same file with plain SQLite calls into a bare
// QTreeWidget of the list's size and headers, shown the same way: what the
// window costs beyond it is its own. Floor and window runs are interleaved
// at random, so both see the same machine.
//
//   build/benchmarks/window_bench/citable_window_bench

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <vector>

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

// The same rows, read with sqlite3 and added a line at a time.
void LoadFloor(benchmark::State& state, const QString& source, int expected_rows) {
  const QByteArray path = QFile::encodeName(source);
  const QStringList headers = {"DF",  "50%", "60%", "70%",   "80%",   "90%",  "95%",
                               "96%", "98%", "99%", "99.5%", "99.8%", "99.9%"};
  for (auto _ : state) {
    auto* list = new QTreeWidget();
    list->setAttribute(Qt::WA_DeleteOnClose);
    list->resize(751, 545);
    list->setHeaderLabels(headers);
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "select * from ttable", -1, &statement, nullptr) != SQLITE_OK) {
      state.SkipWithError("cannot read the data file");
    }
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
      QStringList cells;
      cells.reserve(13);
      for (int column = 0; column < 13; ++column) {
        cells << QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
            sqlite3_column_bytes(statement, column));
      }
      list->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    list->show();
    if (!QTest::qWaitForWindowExposed(list)) state.SkipWithError("list not shown");
    if (list->topLevelItemCount() != expected_rows) state.SkipWithError("wrong row count");
    list->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.counters["rows"] = expected_rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Interleaved unless the command line says otherwise (a later flag wins).
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int arg_count = static_cast<int>(args.size());
  benchmark::Initialize(&arg_count, args.data());

  QTemporaryDir scratch;
  // Half the rows too: the peak memory of the two shows how it grows.
  const QString half = scratch.filePath(QStringLiteral("half.mdb"));
  const QString large = scratch.filePath(QStringLiteral("large.mdb"));
  if (!kelmory::bench::MakeLargeTable(QFile::encodeName(half).toStdString(), 16383) ||
      !kelmory::bench::MakeLargeTable(QFile::encodeName(large).toStdString(), 32766)) {
    return 1;
  }

  const auto add = [](const char* name, const QString& source, int rows, auto load) {
    benchmark::RegisterBenchmark(name, load, source, rows)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(9)
        ->ReportAggregatesOnly(true);
  };
  const QString shipped = QStringLiteral(KELMORY_CUTOFF_FILE);
  add("WindowLoad/shipped", shipped, 107, LoadWindow);
  add("Floor/shipped", shipped, 107, LoadFloor);
  add("WindowLoad/16383_rows", half, 16383, LoadWindow);
  add("WindowLoad/32766_rows", large, 32766, LoadWindow);
  add("Floor/32766_rows", large, 32766, LoadFloor);
  benchmark::RunSpecifiedBenchmarks();

  QFile::remove(DataFile());
  benchmark::Shutdown();
  return 0;
}
