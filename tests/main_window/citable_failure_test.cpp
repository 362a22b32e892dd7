// The t-table window when the data file beside the program is missing or
// broken: a message box names the failure, then the window opens with the
// rows that were read, and the program goes on. This test program has a
// directory of its own, so that it can lay out the data file as each case
// needs it.

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTreeWidget>

#include "tests/support/main_window_fixture.h"

namespace kelmory {
namespace {

using testing::Find;

QString DataFile() { return QDir(QCoreApplication::applicationDirPath()).filePath("cutoff.mdb"); }

class CITableFailureTest : public testing::ShownMainWindow {
 protected:
  void SetUp() override {
    QFile::remove(DataFile());
    ShownMainWindow::SetUp();
    QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  }
  void TearDown() override {
    QFile::remove(DataFile());
    ShownMainWindow::TearDown();
  }
  static void Sql(const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(DataFile()).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  // Opens the table: the rows it shows, and what the message boxes said.
  int OpenTable(QStringList* messages) {
    int rows = -1;
    testing::WhenModalShows([&](QWidget* table) {
      rows = Find<QTreeWidget>(table, "ListView1")->topLevelItemCount();
      EXPECT_EQ(Find<QTreeWidget>(table, "ListView1")->columnCount(), 13) << "headers even so";
    });
    QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
    messages->clear();
    for (const auto& seen : testing::MessageBoxes::Take()) *messages << seen.text;
    return rows;
  }
};

TEST_F(CITableFailureTest, AMissingFileIsReportedWithItsPathAndNotCreated) {
  QStringList messages;
  EXPECT_EQ(OpenTable(&messages), 0);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(DataFile())) << messages[0].toStdString();
  EXPECT_FALSE(QFile::exists(DataFile()));
  EXPECT_TRUE(main_->isVisible()) << "the program goes on";
}

TEST_F(CITableFailureTest, EveryOpeningReadsTheFileAfresh) {
  QStringList messages;
  QFile garbage(DataFile());
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write(QByteArray(4096, 'x'));
  garbage.close();
  EXPECT_EQ(OpenTable(&messages), 0);
  EXPECT_EQ(messages.size(), 1) << "not a database";
  QFile::remove(DataFile());
  Sql("create table ttable(df, a, b, c, d, e, f, g, h, i, j, k, l);"
      "insert into ttable values(1, '1', '2', '3', '4', '5', '6', '7', '8', '9', '10', '11', "
      "'12');");
  EXPECT_EQ(OpenTable(&messages), 1);
  EXPECT_TRUE(messages.isEmpty());
  Sql("insert into ttable select df + 1, a, b, c, d, e, f, g, h, i, j, k, l from ttable;");
  EXPECT_EQ(OpenTable(&messages), 2);
  Sql("alter table ttable rename to other;");
  EXPECT_EQ(OpenTable(&messages), 0);
  EXPECT_EQ(messages.size(), 1) << "no table ttable";
}

}  // namespace
}  // namespace kelmory
