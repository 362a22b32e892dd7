// The shipped data file: every one of its 1,284 values recomputed with
// Boost.Math, its degrees of freedom and row order, its storage, and that
// reading it leaves it as it was. KELMORY_CUTOFF_FILE is the built file.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ttable/ttable_source.h"
#include "ttable_fixtures.h"

namespace kelmory {
namespace {

const std::string kDataFile = KELMORY_CUTOFF_FILE;
const std::string kInfinity = "\xE2\x88\x9E";
constexpr std::array<double, 12> kLevels = {0.50, 0.60, 0.70, 0.80,  0.90,  0.95,
                                            0.96, 0.98, 0.99, 0.995, 0.998, 0.999};

std::vector<std::string> ExpectedDfTexts() {
  std::vector<std::string> dfs;
  for (int df = 1; df <= 100; ++df) dfs.push_back(std::to_string(df));
  for (int df : {120, 150, 200, 300, 500, 1000}) dfs.push_back(std::to_string(df));
  dfs.push_back(kInfinity);
  return dfs;
}

std::string RoundedToThreeDecimals(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// The two-sided critical value at level L: the quantile at 1 - (1 - L)/2.
double CriticalValue(const std::string& df, double level) {
  const double p = 1.0 - (1.0 - level) / 2.0;
  if (df == kInfinity) return boost::math::quantile(boost::math::normal(), p);
  return boost::math::quantile(boost::math::students_t(std::stod(df)), p);
}

std::vector<TTableRow> ReadShippedFile() {
  std::vector<TTableRow> rows;
  const TTableReadOutcome outcome =
      TTableSource::ReadRowsFromFile(kDataFile, [&](const TTableRow& row) { rows.push_back(row); });
  EXPECT_TRUE(outcome.completed) << outcome.failure_text;
  return rows;
}

TEST(TTableData, TheFileLiesBesideTheProgram) {
  const std::filesystem::path file(kDataFile);
  EXPECT_EQ(file.filename(), "cutoff.mdb");
  int rows = 0;
  const TTableReadOutcome outcome =
      TTableSource::ReadRows(file.parent_path().string(), [&](const TTableRow&) { ++rows; });
  EXPECT_TRUE(outcome.completed) << outcome.failure_text;
  EXPECT_EQ(rows, 107);
}

TEST(TTableData, DegreesOfFreedomInOrder) {
  const std::vector<TTableRow> rows = ReadShippedFile();
  const std::vector<std::string> expected = ExpectedDfTexts();
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].RowNumber, static_cast<int>(i + 1));
    EXPECT_EQ(rows[i].DfText, expected[i]) << "row " << i + 1;
  }
}

TEST(TTableData, EveryValueIsTheRecomputedValueToThreeDecimals) {
  const std::vector<TTableRow> rows = ReadShippedFile();
  ASSERT_EQ(rows.size(), 107u);
  int checked = 0;
  for (const TTableRow& row : rows) {
    for (std::size_t c = 0; c < kLevels.size(); ++c) {
      EXPECT_EQ(row.ValueTexts[c], RoundedToThreeDecimals(CriticalValue(row.DfText, kLevels[c])))
          << "df " << row.DfText << " at " << kLevels[c] * 100 << "%";
      ++checked;
    }
  }
  EXPECT_EQ(checked, 1284);
}

TEST(TTableData, KnownFigures) {
  const std::vector<TTableRow> rows = ReadShippedFile();
  ASSERT_EQ(rows.size(), 107u);
  EXPECT_EQ(rows[0].ValueTexts[0], "1.000");      // df 1 at 50%
  EXPECT_EQ(rows[0].ValueTexts[5], "12.706");     // df 1 at 95%
  EXPECT_EQ(rows[0].ValueTexts[11], "636.619");   // df 1 at 99.9%
  EXPECT_EQ(rows[29].ValueTexts[5], "2.042");     // df 30 at 95%
  EXPECT_EQ(rows.back().ValueTexts[5], "1.960");  // normal at 95%
  EXPECT_EQ(rows.back().ValueTexts[8], "2.576");  // normal at 99%
}

// Opens the file the way the reader does, read only and immutable.
class ShippedDatabase {
 public:
  ShippedDatabase() {
    const std::string uri = "file:" + kDataFile + "?immutable=1";
    EXPECT_EQ(sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr),
              SQLITE_OK);
  }
  ~ShippedDatabase() { sqlite3_close(db_); }
  std::vector<std::vector<std::string>> Query(const std::string& sql) {
    std::vector<std::vector<std::string>> result;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      auto& row = result.emplace_back();
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
    }
    sqlite3_finalize(statement);
    return result;
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(TTableData, StorageMatchesTheIssue) {
  ShippedDatabase db;
  const auto columns = db.Query("select name, type from pragma_table_info('ttable')");
  ASSERT_EQ(columns.size(), 13u);
  EXPECT_EQ(columns[0][1], "INTEGER");
  for (std::size_t i = 1; i < columns.size(); ++i) EXPECT_EQ(columns[i][1], "TEXT") << i;

  std::string types_query = "select typeof(df)";
  for (std::size_t i = 1; i < columns.size(); ++i) types_query += ", typeof(" + columns[i][0] + ")";
  const auto types = db.Query(types_query + " from ttable");
  ASSERT_EQ(types.size(), 107u);
  for (std::size_t r = 0; r < types.size(); ++r) {
    EXPECT_EQ(types[r][0], r + 1 < types.size() ? "integer" : "text") << "row " << r + 1;
    for (std::size_t c = 1; c < 13; ++c) EXPECT_EQ(types[r][c], "text") << "row " << r + 1;
  }
  const auto tables = db.Query("select name from sqlite_schema where type = 'table'");
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0][0], "ttable");
  // Not in WAL mode: a reader needs no -wal or -shm file.
  EXPECT_EQ(db.Query("pragma journal_mode")[0][0], "delete");
}

TEST(TTableData, EveryValueHasExactlyThreeDecimals) {
  for (const TTableRow& row : ReadShippedFile()) {
    for (const std::string& text : row.ValueTexts) {
      const auto point = text.find('.');
      ASSERT_NE(point, std::string::npos) << text;
      EXPECT_EQ(text.size() - point - 1, 3u) << text;
      EXPECT_GE(point, 1u) << text;
    }
  }
}

TEST(TTableData, ReadingTheShippedFileLeavesItAsItWas) {
  const std::filesystem::path file(kDataFile);
  auto siblings = [&] {
    std::set<std::string> names;
    for (const std::string& name : testing::Listing(file.parent_path()))
      if (name.rfind("cutoff.mdb", 0) == 0) names.insert(name);
    return names;
  };
  const std::uint64_t checksum = testing::Checksum(file);
  const auto modified = std::filesystem::last_write_time(file);
  ASSERT_EQ(siblings(), std::set<std::string>{"cutoff.mdb"});
  for (int opening = 0; opening < 10; ++opening) {
    TTableSource::ReadRowsFromFile(kDataFile, [&](const TTableRow& row) {
      if (row.RowNumber == 50) EXPECT_EQ(siblings(), std::set<std::string>{"cutoff.mdb"});
    });
  }
  EXPECT_EQ(siblings(), std::set<std::string>{"cutoff.mdb"});
  EXPECT_EQ(testing::Checksum(file), checksum);
  EXPECT_EQ(std::filesystem::last_write_time(file), modified);
}

}  // namespace
}  // namespace kelmory
