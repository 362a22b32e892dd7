// The t-table window opened from the main window, as a user opens it.

#include <QLocale>
#include <QRadioButton>
#include <QScopeGuard>
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

class CITableWindowTest : public testing::ShownMainWindow {};

TEST_F(CITableWindowTest, OpensModallyUnderOtherAndRebuildsTheTableAtEveryOpening) {
  QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  // Each opening reads the table again, in the locale of the moment.
  struct Opening {
    QLocale locale;
    QStringList first_line;  // columns DF to 95%
    QStringList last_line;   // columns 95% to 99%
  };
  const Opening openings[] = {
      {QLocale::c(),
       {"1", "1.000", "1.376", "1.963", "3.078", "6.314", "12.706"},
       {"1.960", "2.054", "2.326", "2.576"}},
      {QLocale(QLocale::German, QLocale::Germany),
       {"1", "1,000", "1,376", "1,963", "3,078", "6,314", "12,706"},
       {"1,960", "2,054", "2,326", "2,576"}},
  };
  const auto restore_locale = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
  for (int opening = 1; const Opening& expected : openings) {
    QLocale::setDefault(expected.locale);
    bool inspected = false;
    testing::WhenModalShows([&](QWidget* table) {
      inspected = true;
      EXPECT_EQ(table->parentWidget(), main_.data()) << "modal over the main window";
      EXPECT_EQ(table->windowFlags() & Qt::WindowType_Mask, Qt::Dialog) << "no taskbar entry";
      EXPECT_FALSE(table->windowFlags() & Qt::WindowMinimizeButtonHint);
      EXPECT_FALSE(table->windowIcon().isNull());
      const auto* list = Find<QTreeWidget>(table, "ListView1");
      ASSERT_EQ(list->topLevelItemCount(), 107) << "opening " << opening << ": no doubled rows";
      QStringList headers;
      for (int c = 0; c < list->columnCount(); ++c) headers << list->headerItem()->text(c);
      EXPECT_EQ(headers, QStringList({"DF", "50%", "60%", "70%", "80%", "90%", "95%", "96%", "98%",
                                      "99%", "99.5%", "99.8%", "99.9%"}));
      EXPECT_EQ(Line(list, 0).mid(0, 7), expected.first_line);
      EXPECT_EQ(Line(list, 106).mid(6, 4), expected.last_line);
      EXPECT_EQ(Line(list, 106).value(0), QString::fromUtf8("∞"));
      EXPECT_EQ(list->height(), table->height()) << "the list takes the inner height";
    });
    QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
    EXPECT_TRUE(inspected) << "the click returns once the window has closed";
    EXPECT_EQ(CITableWindow().Loaded(), nullptr) << "closing unloads the window";
    ++opening;
  }
}

}  // namespace
}  // namespace kelmory
