// The t-table window opened from the main window, as a user opens it.

#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "main_window/frm_main.h"
#include "tests/support/main_window_fixture.h"
#include "ttable/frm_citable.h"

namespace kelmory {
namespace {

using testing::Find;

struct TableSeen {
  QString object_name, title;
  int rows = 0;
  QStringList headers;
  std::vector<int> widths;
  QStringList first_row, last_row;
  int list_top = 0, list_height = 0, inner_height = 0;
  bool owner_blocked = false;
  bool icon_set = false;
};

TableSeen Inspect(QWidget* modal, QWidget* owner) {
  TableSeen seen;
  seen.object_name = modal->objectName();
  seen.title = modal->windowTitle();
  seen.icon_set = !modal->windowIcon().isNull();
  seen.owner_blocked = QApplication::activeModalWidget() == modal && modal->parentWidget() == owner;
  auto* list = Find<QTreeWidget>(modal, "ListView1");
  if (!list) return seen;
  seen.rows = list->topLevelItemCount();
  for (int c = 0; c < list->columnCount(); ++c) {
    seen.headers << list->headerItem()->text(c);
    seen.widths.push_back(list->columnWidth(c));
  }
  const auto texts = [&](QTreeWidgetItem* item) {
    QStringList cells;
    for (int c = 0; item && c < list->columnCount(); ++c) cells << item->text(c);
    return cells;
  };
  seen.first_row = texts(list->topLevelItem(0));
  seen.last_row = texts(list->topLevelItem(seen.rows - 1));
  seen.list_top = list->y();
  seen.list_height = list->height();
  seen.inner_height = modal->height();
  return seen;
}

class CITableWindowTest : public testing::ShownMainWindow {
 protected:
  TableSeen OpenTable() {
    TableSeen seen;
    testing::WhenModalShows([&](QWidget* modal) { seen = Inspect(modal, main_); });
    QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
    return seen;  // the click returns once the window has closed
  }
};

TEST_F(CITableWindowTest, TheButtonWaitsForOther) {
  EXPECT_FALSE(Find<QPushButton>(main_, "cmdTable2")->isEnabled());
  QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  EXPECT_TRUE(Find<QPushButton>(main_, "cmdTable2")->isEnabled());
}

TEST_F(CITableWindowTest, ShowsTheShippedTableModallyAndRebuildsItAtEveryOpening) {
  QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  for (int opening = 1; opening <= 2; ++opening) {
    const TableSeen seen = OpenTable();
    EXPECT_EQ(seen.object_name, "frmCITable");
    EXPECT_EQ(seen.title, "t Values For Confidence Intervals");
    EXPECT_TRUE(seen.icon_set);
    EXPECT_TRUE(seen.owner_blocked) << "modal over the main window";
    EXPECT_EQ(seen.rows, 107) << "opening " << opening << ": no doubled rows";
    EXPECT_EQ(seen.headers, (QStringList{"DF", "50%", "60%", "70%", "80%", "90%", "95%", "96%",
                                         "98%", "99%", "99.5%", "99.8%", "99.9%"}));
    EXPECT_EQ(seen.widths, (std::vector<int>{38, 53, 53, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60}));
    EXPECT_EQ(seen.first_row.value(0), "1");
    EXPECT_EQ(seen.first_row.value(1), "1.000");
    EXPECT_EQ(seen.first_row.value(6), "12.706");
    EXPECT_EQ(seen.last_row.value(0), QString::fromUtf8("∞"));
    EXPECT_EQ(seen.last_row.value(6), "1.960");
    EXPECT_EQ(seen.last_row.value(9), "2.576");
    EXPECT_EQ(seen.list_top, 2);
    EXPECT_EQ(seen.list_height, seen.inner_height);
    EXPECT_EQ(seen.inner_height, 545);
  }
  EXPECT_EQ(CITableWindow().Loaded(), nullptr) << "closing unloads the window";
}

TEST(CITableColumnWidths, FollowTheListWidthInSinglePrecision) {
  EXPECT_EQ(frmCITable::ColumnWidthTwips(11265.0f, 0), 563.25f);
  EXPECT_EQ(frmCITable::ColumnWidthTwips(11265.0f, 1), static_cast<float>(11265.0 * 0.07));
  EXPECT_EQ(frmCITable::ColumnWidthTwips(11265.0f, 12), static_cast<float>(11265.0 * 0.08));
  double total = 0;
  for (int c = 0; c < 13; ++c) total += frmCITable::ColumnWidthTwips(11265.0f, c);
  EXPECT_NEAR(total, 0.99 * 11265.0, 0.01);
}

}  // namespace
}  // namespace kelmory
