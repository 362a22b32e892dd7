// The t-table window when the data file beside the program is missing or
// broken: a message box names the failure, then the window opens with the
// rows that were read, and the program goes on.

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "main_window/frm_main.h"
#include "tests/support/main_window_fixture.h"

namespace kelmory {
namespace {

using testing::Find;

// This test program has a directory of its own, so that it can lay out the
// data file as each case needs it.
QString DataFile() { return QDir(QCoreApplication::applicationDirPath()).filePath("cutoff.mdb"); }

void WriteTable(const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(QFile::encodeName(DataFile()).constData(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

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

  // Opens the table; returns its row count and the messages shown on the way.
  int OpenTable(std::vector<testing::SeenMessage>* messages) {
    int rows = -1, columns = -1;
    testing::WhenModalShows([&](QWidget* modal) {
      auto* list = Find<QTreeWidget>(modal, "ListView1");
      rows = list->topLevelItemCount();
      columns = list->columnCount();
    });
    QTest::mouseClick(Find<QPushButton>(main_, "cmdTable2"), Qt::LeftButton);
    *messages = testing::MessageBoxes::Take();
    EXPECT_EQ(columns, 13) << "the headers stand even over a failed read";
    return rows;
  }
};

TEST_F(CITableFailureTest, AMissingFileIsReportedWithItsPath) {
  std::vector<testing::SeenMessage> messages;
  EXPECT_EQ(OpenTable(&messages), 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(DataFile())) << messages[0].text.toStdString();
  EXPECT_FALSE(QFile::exists(DataFile())) << "a failed read must not create the file";
  EXPECT_TRUE(main_->isVisible()) << "the program goes on";
}

TEST_F(CITableFailureTest, AFileThatIsNoDatabaseIsReported) {
  QFile garbage(DataFile());
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write(QByteArray(4096, 'x'));
  garbage.close();
  std::vector<testing::SeenMessage> messages;
  EXPECT_EQ(OpenTable(&messages), 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(DataFile()));
}

TEST_F(CITableFailureTest, ChangesToTheFileShowAtTheNextOpening) {
  WriteTable(
      "create table ttable(df, a, b, c, d, e, f, g, h, i, j, k, l);"
      "insert into ttable values(1,'1','2','3','4','5','6','7','8','9','10','11','12');");
  std::vector<testing::SeenMessage> messages;
  EXPECT_EQ(OpenTable(&messages), 1);
  EXPECT_TRUE(messages.empty());
  WriteTable("insert into ttable values(2,'1','2','3','4','5','6','7','8','9','10','11','12');");
  EXPECT_EQ(OpenTable(&messages), 2);
  WriteTable("create table other(x); drop table ttable;");
  EXPECT_EQ(OpenTable(&messages), 0);
  EXPECT_EQ(messages.size(), 1u) << "no table ttable";
}

}  // namespace
}  // namespace kelmory
