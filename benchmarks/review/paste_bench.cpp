// A paste of 100,000 interval rows into the review window, timed from Ctrl+V
// until every row's results are in the table and the view has painted.
//
// The floor: the same 100,000 x 17 texts the window then shows, made into
// QStrings and set into a minimal QAbstractTableModel shown in a QTableView
// of the same size. Floor and paste runs alternate, so both see the same
// machine; the figure is the ratio of their medians (goal: at most 1.5), in
// the process's CPU time, which other work on a shared machine leaves alone,
// and in wall time.
//
//   build/bin/review_paste_bench [runs]

#include <time.h>
#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "review/review_window.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Times {
  double wall = 0, cpu = 0;
};

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

class Stopwatch {
 public:
  Times Elapsed() const {
    return {std::chrono::duration<double>(Clock::now() - wall_).count(), CpuSeconds() - cpu_};
  }

 private:
  Clock::time_point wall_ = Clock::now();
  double cpu_ = CpuSeconds();
};
constexpr int kRows = 100000;
constexpr int kColumns = 17;  // 8 pasted, 9 added

// Bounds with a mean, n from 2 to 501, every level the default.
QString Block() {
  std::string block = "study\tn\tse\tci\tlower\tupper\tmean\tlevel\n";
  for (int i = 0; i < kRows; ++i) {
    const int n = 2 + i % 500;
    const double lower = 10 + (i % 97) * 0.25, upper = lower + 1 + (i % 13) * 0.5;
    block += "Study " + std::to_string(i) + '\t' + std::to_string(n) + "\t\t\t" +
             std::to_string(lower) + '\t' + std::to_string(upper) + '\t' +
             std::to_string((lower + upper) / 2) + "\t\n";
  }
  return QString::fromStdString(block);
}

class TextModel final : public QAbstractTableModel {
 public:
  void Set(std::vector<QString> texts) {
    beginResetModel();
    texts_ = std::move(texts);
    endResetModel();
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(texts_.size() / kColumns);
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : kColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole) return {};
    return texts_[static_cast<std::size_t>(index.row()) * kColumns + index.column()];
  }

 private:
  std::vector<QString> texts_;
};

QTableView* Table(QWidget* window) { return window->findChild<QTableView*>("studyTable"); }

Times Paste(const QString& block, std::vector<std::string>* shown) {
  auto* window = new kelmory::ReviewWindow();
  window->resize(1200, 700);
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) qFatal("the window did not show");
  QApplication::clipboard()->setText(block);
  QTableView* table = Table(window);
  table->setFocus();
  QApplication::processEvents();

  const Stopwatch watch;
  QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
  table->viewport()->repaint();
  const Times seconds = watch.Elapsed();

  QAbstractItemModel* model = table->model();
  if (model->rowCount() != kRows + 1 || model->columnCount() != kColumns ||
      model->index(kRows - 1, 8).data().toString().isEmpty())
    qFatal("the paste did not give every row its sd");
  if (shown) {
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kColumns; ++c)
        shown->push_back(model->index(r, c).data().toString().toStdString());
    }
  }
  delete window;  // without the unsaved-changes question
  return seconds;
}

Times Floor(const std::vector<std::string>& texts) {
  TextModel model;
  QTableView view;
  view.resize(1200, 600);
  view.setModel(&model);
  view.show();
  if (!QTest::qWaitForWindowExposed(&view)) qFatal("the floor's view did not show");
  QApplication::processEvents();

  const Stopwatch watch;
  std::vector<QString> cells;
  cells.reserve(texts.size());
  for (const std::string& text : texts)
    cells.push_back(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  model.Set(std::move(cells));
  view.viewport()->repaint();
  return watch.Elapsed();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  QTemporaryDir settings;  // the user's own settings stay untouched
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

  const QString block = Block();
  std::vector<std::string> texts;
  Paste(block, &texts);  // also warms up
  std::vector<double> paste_wall, paste_cpu, floor_wall, floor_cpu;
  for (int i = 0; i < runs; ++i) {
    const Times f = Floor(texts);
    floor_wall.push_back(f.wall);
    floor_cpu.push_back(f.cpu);
    const Times p = Paste(block, nullptr);
    paste_wall.push_back(p.wall);
    paste_cpu.push_back(p.cpu);
  }
  const double pc = Median(paste_cpu), fc = Median(floor_cpu);
  const double pw = Median(paste_wall), fw = Median(floor_wall);
  std::printf("review paste of %d rows: CPU %.1f ms, wall %.1f ms\n", kRows, pc * 1e3, pw * 1e3);
  std::printf("floor, %d x %d texts into a table view: CPU %.1f ms, wall %.1f ms\n", kRows,
              kColumns, fc * 1e3, fw * 1e3);
  std::printf("ratio: CPU %.2f, wall %.2f (goal at most 1.5)\n", pc / fc, pw / fw);
  return 0;
}
