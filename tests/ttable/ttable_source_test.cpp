// TTableSource: the path rule, the reads, the
// failures that end a read, the row limit and the read-only guarantee.

#include "ttable/ttable_source.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ttable_fixtures.h"

namespace kelmory {
namespace {

using testing::CellText;
using testing::Checksum;
using testing::CreateTable;
using testing::ExecAll;
using testing::Listing;
using testing::MakeGeneratedTable;
using testing::OpenDescriptors;
using testing::TempDir;

// Every delivered row, copied.
struct Collected {
  std::vector<TTableRow> rows;
  TTableReadOutcome outcome;
};

// Reads `path` and checks that the read held nothing open afterwards: no
// file descriptor and no SQLite memory, on every path through the read.
Collected ReadAll(const std::string& path) {
  Collected collected;
  const int descriptors = OpenDescriptors();
  const sqlite3_int64 memory = sqlite3_memory_used();
  collected.outcome = TTableSource::ReadRowsFromFile(
      path, [&](const TTableRow& row) { collected.rows.push_back(row); });
  EXPECT_EQ(OpenDescriptors(), descriptors) << "a file stayed open after reading " << path;
  EXPECT_EQ(sqlite3_memory_used(), memory) << "SQLite memory stayed in use after reading " << path;
  EXPECT_EQ(collected.outcome.rows_delivered, static_cast<int>(collected.rows.size()));
  for (std::size_t i = 0; i < collected.rows.size(); ++i)
    EXPECT_EQ(collected.rows[i].RowNumber, static_cast<int>(i + 1));
  return collected;
}

class TTableSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // SQLite's one-time set-up happens here, before any count is taken.
    ExecAll(dir.file("warm-up.db"), {"create table t (x)"});
    std::filesystem::remove(dir.file("warm-up.db"));
  }
  std::string data_file() const { return dir.file("cutoff.mdb"); }
  TempDir dir;
};

void ExpectFailureNaming(const Collected& read, const std::string& cause, const std::string& path) {
  EXPECT_FALSE(read.outcome.completed);
  EXPECT_NE(read.outcome.failure_text.find(cause), std::string::npos) << read.outcome.failure_text;
  EXPECT_NE(read.outcome.failure_text.find(path), std::string::npos) << read.outcome.failure_text;
}

// --- The path rule ----------------------------------------------------------

TEST(TTableDataFilePath, AppendsOneSeparatorWhenTheDirectoryHasNone) {
  EXPECT_EQ(TTableSource::DataFilePath("/opt/kelmory"), "/opt/kelmory/cutoff.mdb");
}

TEST(TTableDataFilePath, AddsNoSecondSeparator) {
  EXPECT_EQ(TTableSource::DataFilePath("/opt/kelmory/"), "/opt/kelmory/cutoff.mdb");
  EXPECT_EQ(TTableSource::DataFilePath("/"), "/cutoff.mdb");
}

TEST(TTableDataFilePath, TestsWithoutTrailingSpacesButKeepsThem) {
  EXPECT_EQ(TTableSource::DataFilePath("/opt/kelmory/  "), "/opt/kelmory/  cutoff.mdb");
  EXPECT_EQ(TTableSource::DataFilePath("/opt/kelmory  "), "/opt/kelmory  /cutoff.mdb");
  EXPECT_EQ(TTableSource::DataFilePath("  /opt/kelmory/"), "  /opt/kelmory/cutoff.mdb");
}

TEST(TTableDataFilePath, EmptyDirectoryGivesSeparatorAndName) {
  EXPECT_EQ(TTableSource::DataFilePath(""), "/cutoff.mdb");
  EXPECT_EQ(TTableSource::DataFilePath("   "), "   /cutoff.mdb");
}

TEST(TTableDataFilePath, OnlyTheSlashIsASeparatorHere) {
  EXPECT_EQ(TTableSource::DataFilePath("C:\\Kelmory\\"), "C:\\Kelmory\\/cutoff.mdb");
  EXPECT_EQ(TTableSource::DataFilePath("/opt/\xE2\x88\x9E"), "/opt/\xE2\x88\x9E/cutoff.mdb");
}

TEST_F(TTableSourceTest, ReadRowsReadsTheFileInTheProgramDirectory) {
  MakeGeneratedTable(data_file(), 13, 2);
  for (const std::string& directory : {dir.path().string(), dir.path().string() + "/"}) {
    int rows = 0;
    const TTableReadOutcome outcome =
        TTableSource::ReadRows(directory, [&](const TTableRow&) { ++rows; });
    EXPECT_TRUE(outcome.completed) << outcome.failure_text;
    EXPECT_EQ(rows, 2);
  }
}

// --- Reads --------------------------------------------------------------------

TEST_F(TTableSourceTest, ThreeRowsArriveInQueryOrderWithTheirFields) {
  ExecAll(data_file(), {CreateTable(13),
                        // Not sorted by df: the query's order is the order.
                        "insert into ttable values ('10','a1','a2','a3','a4','a5','a6','a7','a8',"
                        "'a9','a10','a11','a12')",
                        "insert into ttable values ('2','b1','b2','b3','b4','b5','b6','b7','b8',"
                        "'b9','b10','b11','b12')",
                        "insert into ttable values ('\xE2\x88\x9E','c1','c2','c3','c4','c5','c6',"
                        "'c7','c8','c9','c10','c11','c12')"});
  const Collected read = ReadAll(data_file());
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  EXPECT_TRUE(read.outcome.failure_text.empty());
  ASSERT_EQ(read.rows.size(), 3u);
  const std::vector<std::string> dfs = {"10", "2", "\xE2\x88\x9E"};
  const std::string prefixes = "abc";
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(read.rows[r].RowNumber, r + 1);
    EXPECT_EQ(read.rows[r].DfText, dfs[r]);
    for (int v = 0; v < 12; ++v)
      EXPECT_EQ(read.rows[r].ValueTexts[v], prefixes[r] + std::to_string(v + 1));
  }
}

TEST_F(TTableSourceTest, AnEmptyTableDeliversNothingAndCompletes) {
  ExecAll(data_file(), {CreateTable(13)});
  const Collected read = ReadAll(data_file());
  EXPECT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  EXPECT_TRUE(read.rows.empty());
}

TEST_F(TTableSourceTest, FieldsAfterTheThirteenthAreNotRead) {
  MakeGeneratedTable(data_file(), 16, 3);
  const Collected read = ReadAll(data_file());
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  ASSERT_EQ(read.rows.size(), 3u);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(read.rows[r].DfText, CellText(r + 1, 0));
    for (int v = 0; v < 12; ++v) EXPECT_EQ(read.rows[r].ValueTexts[v], CellText(r + 1, v + 1));
  }
}

TEST_F(TTableSourceTest, ANullFieldIsTheEmptyText) {
  ExecAll(data_file(), {CreateTable(13),
                        "insert into ttable values (null,'1',null,'3','4','5','6','7','8','9','10',"
                        "'11',null)"});
  const Collected read = ReadAll(data_file());
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0].DfText, "");
  EXPECT_EQ(read.rows[0].ValueTexts[0], "1");
  EXPECT_EQ(read.rows[0].ValueTexts[1], "");
  EXPECT_EQ(read.rows[0].ValueTexts[11], "");
}

TEST_F(TTableSourceTest, EachTextIsSQLitesTextFormOfTheStoredValue) {
  ExecAll(data_file(),
          {"create table ttable (df INTEGER, a TEXT, b REAL, c, d, e, f, g, h, i, j, k, l)",
           "insert into ttable values (7, '1.000', '1.000', 2.5, 3, x'41', '0.674 ', 1e20,"
           " 0.5, 12.706, '12.706', '', 100)"});
  const Collected read = ReadAll(data_file());
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  ASSERT_EQ(read.rows.size(), 1u);
  const TTableRow& row = read.rows[0];
  EXPECT_EQ(row.DfText, "7");
  const std::vector<std::string> expected = {"1.000",   "1.0", "2.5",    "3",      "A", "0.674 ",
                                             "1.0e+20", "0.5", "12.706", "12.706", "",  "100"};
  for (int v = 0; v < 12; ++v) EXPECT_EQ(row.ValueTexts[v], expected[v]) << "field " << v + 1;
}

// --- Failures that end the read ---------------------------------------------

TEST_F(TTableSourceTest, AMissingFileFailsAndIsNotCreated) {
  const Collected read = ReadAll(data_file());
  ExpectFailureNaming(read, "missing", data_file());
  EXPECT_TRUE(read.rows.empty());
  EXPECT_TRUE(Listing(dir.path()).empty()) << "the read created a file";
}

TEST_F(TTableSourceTest, AMissingDirectoryFails) {
  const std::string path = dir.file("nowhere/cutoff.mdb");
  ExpectFailureNaming(ReadAll(path), "missing", path);
  EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));
}

TEST_F(TTableSourceTest, ADirectoryFails) {
  std::filesystem::create_directory(data_file());
  const Collected read = ReadAll(data_file());
  ExpectFailureNaming(read, "a directory", data_file());
  EXPECT_TRUE(std::filesystem::is_empty(data_file()));
}

TEST_F(TTableSourceTest, AFileThatCannotBeOpenedForReadingFails) {
  // open() refuses a socket with ENXIO, for every user including root.
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(data_file().size(), sizeof address.sun_path);
  data_file().copy(address.sun_path, data_file().size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const Collected read = ReadAll(data_file());
  close(fd);
  ExpectFailureNaming(read, "cannot be read", data_file());
}

TEST_F(TTableSourceTest, AFileWithoutReadPermissionFails) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file; the socket case covers this";
  MakeGeneratedTable(data_file(), 13, 1);
  std::filesystem::permissions(data_file(), std::filesystem::perms::none);
  ExpectFailureNaming(ReadAll(data_file()), "cannot be read", data_file());
}

TEST_F(TTableSourceTest, AFileThatIsNotADatabaseFails) {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "df,50%,60%\n1,1.000,1.376\n";
  testing::WriteFile(data_file(), text);
  const std::uint64_t before = Checksum(data_file());
  ExpectFailureNaming(ReadAll(data_file()), "not a database", data_file());
  EXPECT_EQ(Checksum(data_file()), before);
}

TEST_F(TTableSourceTest, ADatabaseWithoutTableTtableFails) {
  ExecAll(data_file(), {CreateTable(13, "TEXT", "ttable2"), "insert into ttable2 (c0) values (1)"});
  ExpectFailureNaming(ReadAll(data_file()), "no table ttable", data_file());
}

TEST_F(TTableSourceTest, AnEmptyFileHoldsNoTable) {
  testing::WriteFile(data_file(), "");
  ExpectFailureNaming(ReadAll(data_file()), "no table ttable", data_file());
  EXPECT_EQ(std::filesystem::file_size(data_file()), 0u);
}

TEST_F(TTableSourceTest, ARowWithFewerThanThirteenFieldsFails) {
  MakeGeneratedTable(data_file(), 12, 3);
  const Collected read = ReadAll(data_file());
  ExpectFailureNaming(read, "fewer than 13", data_file());
  EXPECT_NE(read.outcome.failure_text.find("Row 1 "), std::string::npos);
  EXPECT_TRUE(read.rows.empty());
}

TEST_F(TTableSourceTest, ATableOfTwelveColumnsWithoutRowsHasNoShortRow) {
  ExecAll(data_file(), {CreateTable(12)});
  const Collected read = ReadAll(data_file());
  EXPECT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  EXPECT_TRUE(read.rows.empty());
}

TEST_F(TTableSourceTest, AFailingStepEndsTheReadWithTheRowsBeforeIt) {
  constexpr int kRows = 3000;
  MakeGeneratedTable(data_file(), 13, kRows);
  // Spoil the last page, a leaf of ttable that holds its last rows.
  const auto size = std::filesystem::file_size(data_file());
  constexpr std::uintmax_t kPage = 4096;
  ASSERT_GE(size, 10 * kPage);
  std::string bytes = testing::ReadFile(data_file());
  std::fill(bytes.end() - kPage, bytes.end(), '\xFF');
  testing::WriteFile(data_file(), bytes);

  const Collected read = ReadAll(data_file());
  ExpectFailureNaming(read, "Reading row", data_file());
  EXPECT_GT(read.rows.size(), 0u);
  EXPECT_LT(read.rows.size(), static_cast<std::size_t>(kRows));
  EXPECT_NE(read.outcome.failure_text.find("row " + std::to_string(read.rows.size() + 1) + " "),
            std::string::npos)
      << read.outcome.failure_text;
  for (std::size_t i = 0; i < read.rows.size(); ++i)
    EXPECT_EQ(read.rows[i].DfText, CellText(static_cast<int>(i + 1), 0));
}

TEST_F(TTableSourceTest, AThrowingHandlerEndsTheReadWithoutThrowing) {
  MakeGeneratedTable(data_file(), 13, 5);
  int calls = 0;
  const int descriptors = OpenDescriptors();
  const sqlite3_int64 memory = sqlite3_memory_used();
  TTableReadOutcome outcome;
  EXPECT_NO_THROW(outcome = TTableSource::ReadRowsFromFile(data_file(), [&](const TTableRow& row) {
                    ++calls;
                    if (row.RowNumber == 2) throw std::runtime_error("list is full");
                  }));
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.rows_delivered, 1);
  EXPECT_NE(outcome.failure_text.find("list is full"), std::string::npos);
  EXPECT_NE(outcome.failure_text.find(data_file()), std::string::npos);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(sqlite3_memory_used(), memory);
}

TEST_F(TTableSourceTest, AnEmptyHandlerIsAllowed) {
  MakeGeneratedTable(data_file(), 13, 4);
  const TTableReadOutcome outcome = TTableSource::ReadRowsFromFile(data_file(), nullptr);
  EXPECT_TRUE(outcome.completed) << outcome.failure_text;
  EXPECT_EQ(outcome.rows_delivered, 4);
}

// --- The row limit --------------------------------------------------------------

TEST_F(TTableSourceTest, ThirtyTwoThousandSevenHundredSixtySixRowsAreDeliveredWhole) {
  MakeGeneratedTable(data_file(), 13, 32766);
  const Collected read = ReadAll(data_file());
  EXPECT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  ASSERT_EQ(read.rows.size(), 32766u);
  EXPECT_EQ(read.rows.back().RowNumber, 32766);
  EXPECT_EQ(read.rows.back().DfText, CellText(32766, 0));
  EXPECT_EQ(read.rows.back().ValueTexts[11], CellText(32766, 12));
}

TEST_F(TTableSourceTest, ARowMoreDeliversTheFirst32766AndSaysSo) {
  MakeGeneratedTable(data_file(), 13, 32767);
  const Collected read = ReadAll(data_file());
  EXPECT_FALSE(read.outcome.completed);
  EXPECT_EQ(read.outcome.failure_text,
            "The t-table holds more than 32766 rows; only the first 32766 are shown.");
  ASSERT_EQ(read.rows.size(), 32766u);
  EXPECT_EQ(read.rows.back().RowNumber, 32766);
  EXPECT_EQ(read.rows.back().DfText, CellText(32766, 0));
}

TEST_F(TTableSourceTest, FarMoreRowsStillStopAt32766) {
  MakeGeneratedTable(data_file(), 13, 40000);
  const Collected read = ReadAll(data_file());
  EXPECT_EQ(read.outcome.failure_text, TTableSource::kTooManyRowsText);
  EXPECT_EQ(read.rows.size(), 32766u);
}

// --- Read only, always ----------------------------------------------------------

TEST_F(TTableSourceTest, ManyOpeningsChangeNeitherTheFileNorItsDirectory) {
  MakeGeneratedTable(data_file(), 13, 200);
  const std::uint64_t checksum = Checksum(data_file());
  const std::string bytes = testing::ReadFile(data_file());
  const auto modified = std::filesystem::last_write_time(data_file());
  const std::set<std::string> listing = Listing(dir.path());
  ASSERT_EQ(listing, std::set<std::string>{"cutoff.mdb"});

  for (int opening = 0; opening < 25; ++opening) {
    bool listed_during_read = false;
    const TTableReadOutcome outcome =
        TTableSource::ReadRows(dir.path().string(), [&](const TTableRow& row) {
          if (row.RowNumber == 100) {  // the connection is open now
            EXPECT_EQ(Listing(dir.path()), listing);
            listed_during_read = true;
          }
        });
    ASSERT_TRUE(outcome.completed) << outcome.failure_text;
    EXPECT_TRUE(listed_during_read);
    EXPECT_EQ(Listing(dir.path()), listing) << "after opening " << opening + 1;
  }
  EXPECT_EQ(Checksum(data_file()), checksum);
  EXPECT_EQ(testing::ReadFile(data_file()), bytes);
  EXPECT_EQ(std::filesystem::last_write_time(data_file()), modified);
}

TEST_F(TTableSourceTest, AFileInWalModeIsReadWithoutWalOrShmFiles) {
  MakeGeneratedTable(data_file(), 13, 50);
  ExecAll(data_file(), {"pragma journal_mode = wal"});
  const std::set<std::string> listing = Listing(dir.path());
  ASSERT_EQ(listing, std::set<std::string>{"cutoff.mdb"});
  const std::uint64_t checksum = Checksum(data_file());
  for (int opening = 0; opening < 5; ++opening) {
    const Collected read = ReadAll(data_file());
    EXPECT_TRUE(read.outcome.completed) << read.outcome.failure_text;
    EXPECT_EQ(read.rows.size(), 50u);
  }
  EXPECT_EQ(Listing(dir.path()), listing);
  EXPECT_EQ(Checksum(data_file()), checksum);
}

TEST_F(TTableSourceTest, FailedReadsWriteNothingEither) {
  testing::WriteFile(data_file(), "not a database, not at all, but long enough to look at");
  MakeGeneratedTable(dir.file("short.mdb"), 12, 2);
  const std::set<std::string> listing = Listing(dir.path());
  const std::uint64_t first = Checksum(data_file());
  const std::uint64_t second = Checksum(dir.file("short.mdb"));
  for (int opening = 0; opening < 5; ++opening) {
    EXPECT_FALSE(ReadAll(data_file()).outcome.completed);
    EXPECT_FALSE(ReadAll(dir.file("short.mdb")).outcome.completed);
    EXPECT_FALSE(ReadAll(dir.file("absent.mdb")).outcome.completed);
  }
  EXPECT_EQ(Listing(dir.path()), listing);
  EXPECT_EQ(Checksum(data_file()), first);
  EXPECT_EQ(Checksum(dir.file("short.mdb")), second);
}

TEST_F(TTableSourceTest, PathsWithUriCharactersAreTakenLiterally) {
  const std::filesystem::path odd = dir.path() / "a?b#c%20d e\xE2\x88\x9E";
  std::filesystem::create_directory(odd);
  MakeGeneratedTable((odd / "cutoff.mdb").string(), 13, 3);
  const Collected read = ReadAll(TTableSource::DataFilePath(odd.string()));
  EXPECT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  EXPECT_EQ(read.rows.size(), 3u);
  EXPECT_EQ(Listing(odd), std::set<std::string>{"cutoff.mdb"});
}

}  // namespace
}  // namespace kelmory
