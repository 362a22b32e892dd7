// The t-table's data side: the reader TTableSource on fixture databases
// built here, and the shipped data file (KELMORY_CUTOFF_FILE) against its
// source table and the published values.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/damaged_ttable.h"
#include "ttable/ttable_source.h"

namespace kelmory {
namespace {

namespace fs = std::filesystem;

std::string Cell(int row, int field) {
  return "r" + std::to_string(row) + "f" + std::to_string(field);
}

// A table ttable of `columns` columns and `rows` rows of Cell texts, then `after`.
void MakeTable(const std::string& path, int columns, int rows, const std::string& after = "") {
  std::string names = "c0", cells = "'r'||r||'f0'";
  for (int c = 1; c < columns; ++c) {
    names += ",c" + std::to_string(c);
    cells += ",'r'||r||'f" + std::to_string(c) + "'";
  }
  const std::string n = std::to_string(rows);
  testing::Sql(path, "begin; create table ttable (" + names + "); with recursive s(r) as " +
                         "(select 1 where 1 <= " + n + " union all select r + 1 from s where r < " +
                         n + ") insert into ttable select " + cells + " from s; commit;" + after);
}

struct Read {
  TTableReadOutcome outcome;
  std::vector<TTableRow> rows;
};

// Reads the file and checks that the read left no SQLite memory in use,
// which an unfinalized statement or an unclosed database would.
Read ReadFile(const std::string& path) {
  sqlite3_initialize();
  const sqlite3_int64 memory = sqlite3_memory_used();
  Read read;
  read.outcome =
      TTableSource::ReadRowsFromFile(path, [&](const TTableRow& row) { read.rows.push_back(row); });
  EXPECT_EQ(sqlite3_memory_used(), memory) << "the read kept SQLite memory";
  EXPECT_EQ(read.outcome.rows_delivered, static_cast<int>(read.rows.size()));
  return read;
}

class TTableRead : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  const fs::path dir = fs::temp_directory_path() / ("kelmory-ttable-" + std::to_string(getpid()));
  const std::string file = (dir / "cutoff.mdb").string();
};

TEST(TTableDataFilePath, AddsOneSeparatorTestedWithoutTrailingSpaces) {
  const std::pair<std::string, std::string> cases[] = {
      {"/opt/kelmory", "/opt/kelmory/cutoff.mdb"},
      {"/opt/kelmory/", "/opt/kelmory/cutoff.mdb"},
      {"/opt/kelmory/  ", "/opt/kelmory/  cutoff.mdb"},
      {"", "/cutoff.mdb"},
  };
  for (const auto& [directory, path] : cases)
    EXPECT_EQ(TTableSource::DataFilePath(directory), path) << '"' << directory << '"';
}

TEST_F(TTableRead, DeliversTheRowsInOrderWithFields0To12UpTo32766) {
  struct Case {
    int columns, rows, delivered;
    std::string failure_text;
  };
  const Case cases[] = {
      {13, 0, 0, ""},
      {16, 3, 3, ""},  // fields after the 13th are not read
      {13, 32766, 32766, ""},
      {13, 32767, 32766, "The t-table holds more than 32766 rows; only the first 32766 are shown."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.columns) + " columns, " + std::to_string(c.rows) + " rows");
    const std::string path = (dir / ("t" + std::to_string(c.columns + c.rows))).string();
    MakeTable(path, c.columns, c.rows);
    const Read read = ReadFile(path);
    EXPECT_EQ(read.outcome.completed, c.failure_text.empty());
    EXPECT_EQ(read.outcome.failure_text, c.failure_text);
    ASSERT_EQ(read.rows.size(), static_cast<std::size_t>(c.delivered));
    for (int r = 1; r <= c.delivered; ++r) {
      const TTableRow& row = read.rows[r - 1];
      ASSERT_EQ(row.RowNumber, r);
      ASSERT_EQ(row.DfText, Cell(r, 0));
      for (int v = 1; v <= 12; ++v) ASSERT_EQ(row.ValueTexts[v - 1], Cell(r, v));
    }
  }
}

// A NULL is the empty text; a blob is its text when it is UTF-8, else a
// placeholder; a cell of 1 MB is whole.
TEST_F(TTableRead, NullsBlobsAndTheLongestCell) {
  MakeTable(file, 13, 1,
            "update ttable set c0 = null, c5 = null, c6 = x'C3A9', c7 = x'FF00', c8 = x'00', "
            "c9 = x'EDA080', c10 = zeroblob(0), c11 = printf('%.1048576c', 'x');");
  const Read read = ReadFile(file);
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  ASSERT_EQ(read.rows.size(), 1u);
  const auto& values = read.rows[0].ValueTexts;
  EXPECT_EQ(read.rows[0].DfText, "");
  EXPECT_EQ(values[4], "");
  EXPECT_EQ(values[5], "\xC3\xA9");
  EXPECT_EQ(values[6], "(binary, 2 bytes)");
  EXPECT_EQ(values[7], std::string(1, '\0'));
  EXPECT_EQ(values[8], "(binary, 3 bytes)") << "an encoded surrogate is no UTF-8";
  EXPECT_EQ(values[9], "");
  EXPECT_EQ(values[10], std::string(1 << 20, 'x'));
  EXPECT_EQ(values[11], Cell(1, 12));
}

using testing::Damage;

class TTableFailure : public TTableRead, public ::testing::WithParamInterface<Damage> {};

// Each ends the read within the time limit, with a text naming the cause
// and the path, after the rows before the cause; it changes and creates
// nothing (a missing file stays missing), and memory stays bounded.
TEST_P(TTableFailure, EndsTheReadNamingCauseAndPath) {
  const Damage& damage = GetParam();
  const fs::path where = dir / damage.directory;
  const std::string path = (where / "cutoff.mdb").string();
  fs::create_directories(where);
  damage.make(path);
  const auto before = testing::Snapshot(where);
  const auto start = std::chrono::steady_clock::now();
  const Read read = ReadFile(path);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8)) << "it ends";
  EXPECT_EQ(read.outcome.failure_text, damage.text.empty() ? "" : damage.text + path);
  EXPECT_EQ(read.outcome.completed, damage.text.empty());
  EXPECT_EQ(read.rows.size(), static_cast<std::size_t>(damage.rows));
  EXPECT_EQ(testing::Snapshot(where), before);
  EXPECT_LT(testing::PeakMemoryMiB(), testing::kPeakMemoryLimitMiB);
}

const char kTooLong[] = "Row 2 of the t-table holds a value longer than 1 MB: ";

std::vector<Damage> Causes() {
  std::vector<Damage> causes = testing::SharedCauses();
  causes.insert(
      causes.end(),
      {
          {"a directory", [](const std::string& path) { fs::create_directory(path); },
           "The t-table data file is a directory, not a file: ", 0},
          {"not a database",
           [](const std::string& path) { std::ofstream(path) << std::string(4096, 'x'); },
           "The t-table data file is not a database: ", 0},
          {"no table ttable",
           [](const std::string& path) {
             MakeTable(path, 13, 1, "alter table ttable rename to other;");
           },
           "The t-table data file holds no table ttable: ", 0},
          {"a symbolic link to itself",
           [](const std::string& path) { fs::create_symlink(path, path); },
           "The t-table data file cannot be read (Too many levels of symbolic links): ", 0},
          {"fewer than 13", [](const std::string& path) { MakeTable(path, 12, 2); },
           "Row 1 of the t-table has 12 fields, fewer than 13: ", 0},
          {"an error on row 2",
           testing::Run("create view ttable as with recursive c(x) as (select 1 union all "
                        "select x + 1 from c where x < 3) select " +
                        testing::ViewColumns("x", "abs(-9223372036854775806 - x)") + " from c;"),
           "Reading row 2 of the t-table failed (integer overflow): ", 1},
          {"a text bomb",
           testing::Run("create view ttable as select " + testing::ViewColumns("1", "2") +
                        " union all select " +
                        testing::ViewColumns("2", "printf('%.*c', 1000000000, 'x')")),
           "The t-table data file cannot be read (unsafe use of printf()): ", 0},
          {"a stored cell over 1 MB",
           [](const std::string& path) {
             MakeTable(path, 13, 3, "update ttable set c7 = zeroblob(1048577) where c0 = 'r2f0';");
           },
           kTooLong, 1},
          {"12 MB a row",
           testing::Run("create view ttable as with recursive c(x) as (select 1 union all select "
                        "x + 1 from c where x < 5) select " +
                        testing::ViewColumns("x", "hex(zeroblob(500000))") + " from c;"),
           "The t-table holds more than 32 MB of text; the read stopped at row 3: ", 2},
          {"a WAL-mode file",
           [](const std::string& path) { MakeTable(path, 13, 200, "pragma journal_mode = wal;"); },
           "", 200},
          {"rows in the WAL", [](const std::string& path) { testing::MakeRowsInWal(path, true); },
           "", 3},
      });
  return causes;
}

INSTANTIATE_TEST_SUITE_P(Causes, TTableFailure, ::testing::ValuesIn(Causes()), testing::TestName);

// Published two-sided t critical values, rows as every printed table shows
// them: df, then 50% ... 99.9%.
const char* const kPublishedRows[] = {
    "1,1.000,1.376,1.963,3.078,6.314,12.706,15.895,31.821,63.657,127.321,318.309,636.619",
    "2,0.816,1.061,1.386,1.886,2.920,4.303,4.849,6.965,9.925,14.089,22.327,31.599",
    "10,0.700,0.879,1.093,1.372,1.812,2.228,2.359,2.764,3.169,3.581,4.144,4.587",
    "30,0.683,0.854,1.055,1.310,1.697,2.042,2.147,2.457,2.750,3.030,3.385,3.646",
    "100,0.677,0.845,1.042,1.290,1.660,1.984,2.081,2.364,2.626,2.871,3.174,3.390",
    "1000,0.675,0.842,1.037,1.282,1.646,1.962,2.056,2.330,2.581,2.813,3.098,3.300",
    "\xE2\x88\x9E,0.674,0.842,1.036,1.282,1.645,1.960,2.054,2.326,2.576,2.807,3.090,3.291"};

std::string Joined(const TTableRow& row) {
  std::string line = row.DfText;
  for (const std::string& value : row.ValueTexts) line += "," + value;
  return line;
}

// The shipped data file: every row whole against the table it is built from,
// the published rows, the df sequence, and values that fall down every
// column and rise along every row.
TEST(TTableData, EveryRowIsTheSourceTableAndThePublishedRowsHold) {
  const Read read = ReadFile(KELMORY_CUTOFF_FILE);
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  std::ifstream source(KELMORY_CUTOFF_CSV);
  std::string line;
  std::getline(source, line);
  EXPECT_EQ(line, "df,50%,60%,70%,80%,90%,95%,96%,98%,99%,99.5%,99.8%,99.9%");
  std::vector<std::string> lines;
  while (std::getline(source, line)) lines.push_back(line);
  std::vector<std::string> read_lines;
  for (const TTableRow& row : read.rows) read_lines.push_back(Joined(row));
  EXPECT_EQ(read_lines, lines);

  std::vector<std::string> dfs;
  for (int df = 1; df <= 100; ++df) dfs.push_back(std::to_string(df));
  for (const char* df : {"120", "150", "200", "300", "500", "1000", "\xE2\x88\x9E"})
    dfs.push_back(df);
  ASSERT_EQ(read.rows.size(), dfs.size());
  for (std::size_t r = 0; r < dfs.size(); ++r) {
    EXPECT_EQ(read.rows[r].DfText, dfs[r]);
    for (int c = 0; c < 12; ++c) {
      const double value = std::stod(read.rows[r].ValueTexts[c]);
      if (c > 0)
        EXPECT_GT(value, std::stod(read.rows[r].ValueTexts[c - 1])) << Joined(read.rows[r]);
      if (r > 0)
        EXPECT_LE(value, std::stod(read.rows[r - 1].ValueTexts[c])) << Joined(read.rows[r]);
    }
  }
  for (const char* published : kPublishedRows) {
    const std::string df = std::string(published).substr(0, std::string(published).find(','));
    const auto at = std::find(dfs.begin(), dfs.end(), df) - dfs.begin();
    EXPECT_EQ(Joined(read.rows[at]), published);
  }
}

}  // namespace
}  // namespace kelmory
