// The t-table's data side: the reader TTableSource on fixture databases
// built here, and every value of the shipped data file recomputed with
// Boost.Math. KELMORY_CUTOFF_FILE is the built data file.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

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
  const std::string sql = "begin; create table ttable (" + names + "); with recursive s(r) as " +
                          "(select 1 where 1 <= " + n +
                          " union all select r + 1 from s where r < " + n +
                          ") insert into ttable select " + cells + " from s; commit;" + after;
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
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
  EXPECT_EQ(sqlite3_memory_used(), memory) << "the read kept SQLite memory: " << path;
  EXPECT_EQ(read.outcome.rows_delivered, static_cast<int>(read.rows.size()));
  return read;
}

std::set<std::string> Listing(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
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
      {13, 3, 3, ""},
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

TEST_F(TTableRead, ANullFieldIsTheEmptyText) {
  MakeTable(file, 13, 1, "update ttable set c0 = null, c5 = null;");
  const Read read = ReadFile(file);
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0].DfText, "");
  EXPECT_EQ(read.rows[0].ValueTexts[4], "");
  EXPECT_EQ(read.rows[0].ValueTexts[5], Cell(1, 6));
}

// A WAL-mode file: a reader that takes locks or looks for a journal makes
// -wal and -shm files beside it.
TEST_F(TTableRead, ReadingChangesNeitherTheFileNorItsDirectory) {
  MakeTable(file, 13, 200, "pragma journal_mode = wal;");
  const std::string bytes = Bytes(file);
  const std::set<std::string> listing = Listing(dir);
  ASSERT_EQ(listing, std::set<std::string>{"cutoff.mdb"});
  for (int opening = 0; opening < 5; ++opening) {
    const TTableReadOutcome outcome =
        TTableSource::ReadRows(dir.string(), [&](const TTableRow& row) {
          if (row.RowNumber == 100) EXPECT_EQ(Listing(dir), listing) << "while reading";
        });
    EXPECT_TRUE(outcome.completed) << outcome.failure_text;
    EXPECT_EQ(outcome.rows_delivered, 200);
  }
  EXPECT_EQ(Listing(dir), listing);
  EXPECT_EQ(Bytes(file), bytes);
}

struct Failure {
  std::string cause;
  std::function<void(const std::string& path)> make;
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.cause; }

class TTableFailure : public TTableRead, public ::testing::WithParamInterface<Failure> {};

// Each ends the read with a text naming the cause and the path, and
// creates nothing (a missing file stays missing).
TEST_P(TTableFailure, EndsTheReadNamingCauseAndPath) {
  GetParam().make(file);
  const std::set<std::string> listing = Listing(dir);
  const Read read = ReadFile(file);
  EXPECT_FALSE(read.outcome.completed);
  EXPECT_NE(read.outcome.failure_text.find(GetParam().cause), std::string::npos)
      << read.outcome.failure_text;
  EXPECT_NE(read.outcome.failure_text.find(file), std::string::npos) << read.outcome.failure_text;
  EXPECT_TRUE(read.rows.empty());
  EXPECT_EQ(Listing(dir), listing);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, TTableFailure,
    ::testing::Values(
        Failure{"missing", [](const std::string&) {}},
        Failure{"a directory", [](const std::string& path) { fs::create_directory(path); }},
        Failure{"not a database",
                [](const std::string& path) { std::ofstream(path) << std::string(4096, 'x'); }},
        Failure{"no table ttable",
                [](const std::string& path) {
                  MakeTable(path, 13, 1, "alter table ttable rename to other;");
                }},
        Failure{"fewer than 13", [](const std::string& path) { MakeTable(path, 12, 2); }}));

TEST(TTableData, EveryValueIsTheRecomputedQuantileToThreeDecimals) {
  const Read read = ReadFile(KELMORY_CUTOFF_FILE);
  ASSERT_TRUE(read.outcome.completed) << read.outcome.failure_text;
  std::vector<std::string> dfs;
  for (int df = 1; df <= 100; ++df) dfs.push_back(std::to_string(df));
  for (int df : {120, 150, 200, 300, 500, 1000}) dfs.push_back(std::to_string(df));
  dfs.push_back("\xE2\x88\x9E");
  ASSERT_EQ(read.rows.size(), dfs.size());
  const double levels[] = {0.50, 0.60, 0.70, 0.80,  0.90,  0.95,
                           0.96, 0.98, 0.99, 0.995, 0.998, 0.999};
  int checked = 0;
  for (std::size_t r = 0; r < dfs.size(); ++r) {
    ASSERT_EQ(read.rows[r].DfText, dfs[r]);
    for (int c = 0; c < 12; ++c, ++checked) {
      const double p = 1 - (1 - levels[c]) / 2;
      const double t = r + 1 == dfs.size()
                           ? boost::math::quantile(boost::math::normal(), p)
                           : boost::math::quantile(boost::math::students_t(std::stod(dfs[r])), p);
      char text[32];
      std::snprintf(text, sizeof text, "%.3f", t);
      EXPECT_EQ(read.rows[r].ValueTexts[c], text)
          << "df " << dfs[r] << " at " << levels[c] * 100 << "%";
    }
  }
  EXPECT_EQ(checked, 1284);
  // Figures every printed table shows, in case the recomputation itself is off.
  EXPECT_EQ(read.rows[0].ValueTexts[5], "12.706");
  EXPECT_EQ(read.rows.back().ValueTexts[5], "1.960");
  EXPECT_EQ(read.rows.back().ValueTexts[8], "2.576");
}

}  // namespace
}  // namespace kelmory
