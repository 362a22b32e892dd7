// The t-table window when the data file beside the program is missing,
// broken or made to hurt: a message box names the failure, then the window
// opens with the rows that were read, and the program goes on. This test
// program has a directory of its own, so that it can lay out the data file
// as each case needs it.

#include <spawn.h>

#include <QRadioButton>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/support/damaged_ttable.h"
#include "tests/support/main_window_fixture.h"

extern char** environ;

namespace kelmory {
namespace {

namespace fs = std::filesystem;
using testing::Damage;
using testing::Find;
using testing::kLeftInChange;

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
  // Runs this case in a copy of the program that lies in a directory whose
  // name is no UTF-8.
  static void RunInLatin1Directory() {
    const fs::path directory = Directory() / testing::kLatin1Directory;
    const fs::path program = directory / "citable_failure_test";
    fs::create_directories(directory);
    std::error_code error;
    fs::create_hard_link("/proc/self/exe", program, error);
    if (error) fs::copy_file("/proc/self/exe", program, fs::copy_options::overwrite_existing);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(filter.c_str()), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the case failed there";
    fs::remove_all(directory);
  }
};

TEST_P(CITableDamage, ShowsTheMessageThenTheRowsReadSoFar) {
  const Damage& damage = GetParam();
  if (damage.in_latin1_directory && Directory().filename() != testing::kLatin1Directory)
    return RunInLatin1Directory();
  damage.make(DataFile());
  const auto before = testing::Snapshot(Directory());
  const auto start = std::chrono::steady_clock::now();
  QStringList messages;
  EXPECT_EQ(OpenTable(&messages), damage.rows);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "it ends";
  if (damage.text.empty()) {
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  } else {
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QString::fromStdString(damage.text + DataFile()));
  }
  EXPECT_EQ(testing::Snapshot(Directory()), before);
  EXPECT_TRUE(main_->isVisible()) << "the program goes on";
  EXPECT_LT(testing::PeakMemoryMiB(), 512);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, CITableDamage,
    ::testing::Values(
        Damage{"missing", [](const std::string&) {}, "The t-table data file is missing: ", 0},
        Damage{"an endless view", testing::Run(testing::kEndlessView),
               "Reading the t-table took longer than 5 seconds and was stopped: ", 2},
        Damage{"a blob bomb", testing::Run(testing::kBlobBomb),
               "Row 2 of the t-table holds a value longer than 1 MB: ", 1},
        Damage{"a FIFO", testing::MakeFifo, "The t-table data file is not a regular file: ", 0},
        Damage{"a hot journal", testing::MakeHotJournal, kLeftInChange, 0},
        Damage{"rows in the WAL without its index",
               [](const std::string& path) { testing::MakeRowsInWal(path, false); }, kLeftInChange,
               0},
        Damage{"a view over a dropped table", testing::Run(testing::kViewOverDroppedTable),
               "The t-table data file cannot be read (no such table: main.other): ", 0},
        Damage{"a directory named in Latin-1", testing::Run(testing::kPagesOfRows), "", 3, true}),
    testing::TestName);

TEST_F(CITableFailureTest, EveryOpeningReadsTheFileAfresh) {
  QStringList messages;
  std::ofstream(DataFile()) << std::string(4096, 'x');
  EXPECT_EQ(OpenTable(&messages), 0);
  EXPECT_EQ(messages.size(), 1) << "not a database";
  fs::remove(DataFile());
  testing::Sql(DataFile(),
               "create table ttable(df, a, b, c, d, e, f, g, h, i, j, k, l);"
               "insert into ttable values(1, '1', '2', '3', '4', '5', '6', '7', '8', '9', '10', "
               "'11', '12');");
  EXPECT_EQ(OpenTable(&messages), 1);
  EXPECT_TRUE(messages.isEmpty());
  testing::Sql(DataFile(),
               "insert into ttable select df + 1, a, b, c, d, e, f, g, h, i, j, k, l from ttable;");
  EXPECT_EQ(OpenTable(&messages), 2);
  testing::Sql(DataFile(), "alter table ttable rename to other;");
  EXPECT_EQ(OpenTable(&messages), 0);
  EXPECT_EQ(messages.size(), 1) << "no table ttable";
}

}  // namespace
}  // namespace kelmory
