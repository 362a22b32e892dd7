// The review window's memory: its peak and what it keeps after opening a
// CSV file and after a paste, per row and per byte of the table's text.
// Each case runs in a fresh process of its own (this program again), so
// that one case's heap does not lend room to the next.
//
//   build/bin/review_memory_bench [MB of CSV, 200] [pasted rows, 1000000]
//
// The goal: a peak of at most three times the text plus a fixed base.

#include <malloc.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <string>

#include "review/review_window.h"

namespace {

// A line of /proc/self/status, in bytes.
double Status(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(key)) return std::stod(line.substr(std::string(key).size())) * 1024;
  }
  return 0;
}

// Bounds with a mean, as a spreadsheet puts them on the clipboard (tabs) or
// a file holds them (commas).
std::string Rows(long rows, char delimiter) {
  std::string text = "study,n,se,ci,lower,upper,mean,level,notes\n";
  for (long i = 0; i < rows; ++i) {
    const long n = 2 + i % 500;
    const double lower = 10 + double(i % 97) * 0.25, upper = lower + 1 + double(i % 13) * 0.5;
    text += "Study " + std::to_string(i) + ',' + std::to_string(n) + ",,," + std::to_string(lower) +
            ',' + std::to_string(upper) + ',' + std::to_string((lower + upper) / 2) +
            ",,extracted by AB\n";
  }
  if (delimiter != ',') std::replace(text.begin(), text.end(), ',', delimiter);
  return text;
}

// One case in this process: prints "peak held rows bytes".
int RunCase(const QString& what, const QString& argument) {
  QTemporaryDir dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  qputenv("XDG_STATE_HOME", dir.filePath("state").toLocal8Bit());
  auto* window = new kelmory::ReviewWindow();
  window->resize(1200, 700);
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) qFatal("the window did not show");
  auto* table = window->findChild<QTableView*>("studyTable");
  std::string text;
  if (what == "paste") text = Rows(argument.toLong(), '\t');
  QApplication::processEvents();
  malloc_trim(0);
  const double base = Status("VmRSS:");
  {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again here
  }
  if (what == "open") {
    if (!window->openFile(argument)) qFatal("the file did not open");
    text.resize(QFile(argument).size());
  } else {
    // In this process the clipboard's own copy counts too: a paste from
    // another program brings its text into the window the same way.
    QApplication::clipboard()->setText(QString::fromStdString(text));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
  }
  table->viewport()->repaint();
  const double peak = Status("VmHWM:") - base;
  malloc_trim(0);
  const double held = Status("VmRSS:") - base;
  std::printf("%.0f %.0f %d %zu\n", peak, held, table->model()->rowCount() - 1, text.size());
  std::fflush(stdout);
  std::_Exit(0);  // without the unsaved-changes question
}

void Report(const char* name, const QString& line) {
  const QStringList f = line.split(' ');
  if (f.size() != 4) qFatal("a case failed: %s", qPrintable(line));
  const double peak = f[0].toDouble(), held = f[1].toDouble(), rows = f[2].toDouble(),
               bytes = f[3].toDouble();
  std::printf(
      "%s: %.0f rows, %.1f MB of text; peak +%.0f MB (%.2f x the text, %.0f B a row), "
      "held +%.0f MB (%.2f x the text, %.0f B a row)\n",
      name, rows, bytes / 1e6, peak / 1e6, peak / bytes, peak / rows, held / 1e6, held / bytes,
      held / rows);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() == 4 && arguments[1] == "--case") return RunCase(arguments[2], arguments[3]);

  const double megabytes = arguments.size() > 1 ? arguments[1].toDouble() : 200;
  const long pasted = arguments.size() > 2 ? arguments[2].toLong() : 1'000'000;
  QTemporaryDir dir;
  const QString csv = dir.filePath("review.csv");
  {
    // About 80 bytes a row.
    std::ofstream file(csv.toStdString(), std::ios::binary);
    file << Rows(static_cast<long>(megabytes * 1e6 / 80), ',');
  }
  const auto run = [&](const QString& what, const QString& argument) {
    QProcess child;
    child.start(QApplication::applicationFilePath(), {"--case", what, argument});
    if (!child.waitForFinished(-1)) qFatal("a case did not end");
    return QString::fromLatin1(child.readAllStandardOutput()).trimmed();
  };
  Report("open a CSV", run("open", csv));
  Report("paste", run("paste", QString::number(pasted)));
  std::printf("goal: a peak of at most 3 x the text plus a fixed base\n");
  return 0;
}
