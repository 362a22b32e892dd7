// The t-table window opened from the main window, as a user opens it.

#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTreeWidget>

#include "tests/support/main_window_fixture.h"
#include "ttable/frm_citable.h"

namespace kelmory {
namespace {

using testing::Find;

QStringList Line(const QTreeWidget* list, int index) {
  QStringList cells;
  for (int c = 0; c < list->columnCount(); ++c) cells << list->topLevelItem(index)->text(c);
  return cells;
}

// The rows of the table the data file is built from, with `point` for "."
QList<QStringList> SourceRows(const QString& point) {
  QFile source(KELMORY_CUTOFF_CSV);
  EXPECT_TRUE(source.open(QIODevice::ReadOnly | QIODevice::Text));
  QList<QStringList> rows;
  source.readLine();  // the header
  while (!source.atEnd()) {
    QStringList cells = QString::fromUtf8(source.readLine()).trimmed().split(',');
    for (QString& cell : cells) cell.replace('.', point);
    rows << cells;
  }
  return rows;
}

class CITableWindowTest : public testing::ShownMainWindow {};

TEST_F(CITableWindowTest, OpensModallyUnderOtherAndRebuildsTheTableAtEveryOpening) {
  QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  // Each opening reads the table again, in the locale of the moment.
  struct Opening {
    QLocale locale;
    QList<QStringList> lines;  // the source table in the locale's notation
  };
  const Opening openings[] = {{QLocale::c(), SourceRows(".")},
                              {QLocale(QLocale::German, QLocale::Germany), SourceRows(",")}};
  const auto restore_locale = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
  for (int opening = 1; const Opening& expected : openings) {
    QLocale::setDefault(expected.locale);
    bool inspected = false;
    testing::WhenModalShows([&](QWidget* table) {
      inspected = true;
      EXPECT_EQ(table->parentWidget(), main_.data()) << "modal over the main window";
      EXPECT_EQ(table->windowFlags() & Qt::WindowType_Mask, Qt::Dialog) << "no taskbar entry";
      EXPECT_FALSE(table->windowFlags() & Qt::WindowMinimizeButtonHint);
      EXPECT_EQ(table->windowIcon().availableSizes(),
                QList<QSize>({QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
      const auto* list = Find<QTreeWidget>(table, "ListView1");
      ASSERT_EQ(list->topLevelItemCount(), 107) << "opening " << opening << ": no doubled rows";
      QStringList headers;
      for (int c = 0; c < list->columnCount(); ++c) headers << list->headerItem()->text(c);
      EXPECT_EQ(headers, QStringList({"DF", "50%", "60%", "70%", "80%", "90%", "95%", "96%", "98%",
                                      "99%", "99.5%", "99.8%", "99.9%"}));
      ASSERT_EQ(expected.lines.size(), 107);
      for (int row = 0; row < 107; ++row) EXPECT_EQ(Line(list, row), expected.lines[row]);
      EXPECT_EQ(Line(list, 106).value(0), QString::fromUtf8("∞"));
      // The columns share the list's width, none squeezed below its heading.
      int total = 0;
      for (int c = 0; c < list->columnCount(); ++c) {
        total += list->columnWidth(c);
        EXPECT_GE(list->columnWidth(c), list->fontMetrics().horizontalAdvance(headers[c])) << c;
      }
      EXPECT_LE(total, list->width());
      EXPECT_EQ(list->geometry().bottom(), table->rect().bottom()) << "the list ends at the edge";
    });
    QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
    EXPECT_TRUE(inspected) << "the click returns once the window has closed";
    EXPECT_EQ(CITableWindow().Loaded(), nullptr) << "closing unloads the window";
    ++opening;
  }
}

// The list fits the window: its columns fit beside the vertical scroll bar,
// and a horizontal bar, once the columns really are too wide, shows whole.
TEST_F(CITableWindowTest, TheListAndItsScrollBarsFitTheWindow) {
  QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  bool inspected = false;
  testing::WhenModalShows([&](QWidget* table) {
    inspected = true;
    auto* list = Find<QTreeWidget>(table, "ListView1");
    EXPECT_TRUE(table->rect().contains(list->geometry()));
    EXPECT_TRUE(list->verticalScrollBar()->isVisible()) << "107 rows do not fit";
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << "the columns fit";
    list->setColumnWidth(0, list->viewport()->width());
    const QScrollBar* bar = list->horizontalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->isVisible(); }))
        << "a column as wide as the list does not fit";
    EXPECT_TRUE(table->rect().contains(QRect(bar->mapTo(table, QPoint()), bar->size())));
  });
  QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
  EXPECT_TRUE(inspected);
}

TEST_F(CITableWindowTest, EscapeClosesTheWindowAndTheMainWindowTakesInputAgain) {
  QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  bool closed = false;
  testing::WhenModalShows([&](QWidget* table) {
    testing::Activate(table);
    auto* list = Find<QTreeWidget>(table, "ListView1");
    list->setFocus();  // the window's only control, where the focus is on a desktop
    QTest::keyClick(list, Qt::Key_Escape);
    closed = !table->isVisible();
  });
  QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
  EXPECT_TRUE(closed) << "Escape closed the window before the watchdog did";
  EXPECT_EQ(CITableWindow().Loaded(), nullptr);
  EXPECT_TRUE(main_->isEnabled() && QApplication::activeModalWidget() == nullptr);
}

}  // namespace
}  // namespace kelmory
