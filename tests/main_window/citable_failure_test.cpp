// The t-table window when the data file beside the program is missing,
// broken or made to hurt: a message box names the failure, then the window
// opens with the rows that were read, and the program goes on. This test
// program has a directory of its own, so that it can lay out the data file
// as each case needs it.

#include <QRadioButton>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/damaged_ttable.h"
#include "tests/support/main_window_fixture.h"

namespace kelmory {
namespace {

namespace fs = std::filesystem;
using testing::Damage;
using testing::Find;

// The program's directory as the file system's bytes.
fs::path Directory() { return fs::read_symlink("/proc/self/exe").parent_path(); }
std::string DataFile() { return (Directory() / "cutoff.mdb").string(); }

class CITableFailureTest : public testing::ShownMainWindow {
 protected:
  void SetUp() override {
    RemoveDataFile();
    ShownMainWindow::SetUp();
    QTest::mouseClick(Find<QRadioButton>(main_, "opOther"), Qt::LeftButton);
  }
  void TearDown() override {
    RemoveDataFile();
    ShownMainWindow::TearDown();
  }
  static void RemoveDataFile() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(DataFile() + suffix);
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

class CITableDamage : public CITableFailureTest, public ::testing::WithParamInterface<Damage> {
 protected:
  // Runs this case in a copy of the program that lies in `name`.
  static void RunInDirectory(const std::string& name) {
    const fs::path program = Directory() / name / "citable_failure_test";
    fs::create_directories(program.parent_path());
    fs::copy_file("/proc/self/exe", program, fs::copy_options::overwrite_existing);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string command =
        "'" + program.string() + "' --gtest_filter=" + test->test_suite_name() + "." + test->name();
    EXPECT_EQ(std::system(command.c_str()), 0) << "the case failed there";
    fs::remove_all(program.parent_path());
  }
};

TEST_P(CITableDamage, ShowsTheMessageThenTheRowsReadSoFar) {
  const Damage& damage = GetParam();
  if (!damage.directory.empty() && Directory().filename() != damage.directory)
    return RunInDirectory(damage.directory);
  damage.make(DataFile());
  const auto before = testing::Snapshot(Directory());
  const auto start = std::chrono::steady_clock::now();
  QStringList messages;
  EXPECT_EQ(OpenTable(&messages), damage.rows);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8)) << "it ends";
  if (damage.text.empty()) {
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  } else {
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QString::fromStdString(damage.text + DataFile()));
  }
  EXPECT_EQ(testing::Snapshot(Directory()), before);
  EXPECT_TRUE(main_->isVisible()) << "the program goes on";
  EXPECT_LT(testing::PeakMemoryMiB(), testing::kPeakMemoryLimitMiB);
}

INSTANTIATE_TEST_SUITE_P(Causes, CITableDamage, ::testing::ValuesIn(testing::SharedCauses()),
                         testing::TestName);

TEST_F(CITableFailureTest, EveryOpeningReadsTheFileAfresh) {
  const QString path = QString::fromStdString(DataFile());
  QStringList messages;
  std::ofstream(DataFile()) << std::string(4096, 'x');
  EXPECT_EQ(OpenTable(&messages), 0);
  EXPECT_EQ(messages, QStringList{"The t-table data file is not a database: " + path});
  fs::remove(DataFile());
  testing::Sql(DataFile(),
               "create table ttable(df, a, b, c, d, e, f, g, h, i, j, k, l);"
               "insert into ttable values(1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);");
  EXPECT_EQ(OpenTable(&messages), 1);
  EXPECT_EQ(messages, QStringList());
}

}  // namespace
}  // namespace kelmory
