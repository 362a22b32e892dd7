#pragma once
// Data files that are damaged or made to hurt the t-table reader, for the
// reader's and the window's failure tables, and what a test compares
// before and after a read: the directory's entries and every file's bytes.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace kelmory::testing {

// A row of a failure table: how the data file is damaged, the message
// before its path (empty: none), and the rows that reach the window.
struct Damage {
  std::string name;
  std::function<void(const std::string& path)> make;
  std::string text;
  int rows;
  std::string directory = "";  // a directory of this name holds the file (empty: none)
};

inline void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

inline std::string TestName(const ::testing::TestParamInfo<Damage>& info) {
  std::string name;
  for (const char c : info.param.name)
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

constexpr char kLeftInChange[] =
    "The t-table data file was left in the middle of a change and cannot be read without "
    "changing it: ";

inline void Sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << path;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// Runs `sql` in a child process that then dies without committing or
// closing, as a writer killed mid-transaction does.
inline void SqlThenDie(const std::string& path, const std::string& sql) {
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    sqlite3* db = nullptr;
    const bool done = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    _exit(done ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer failed: " << sql;
}

// The 13 columns of a view row, the first `df`.
inline std::string ViewColumns(const std::string& df, const std::string& value) {
  std::string columns = df;
  for (int c = 1; c < 13; ++c) columns += ", " + value;
  return columns;
}

// A maker that runs `sql` on the data file.
inline std::function<void(const std::string& path)> Run(const std::string& sql) {
  return [sql](const std::string& path) { Sql(path, sql); };
}

// Three rows, a few pages long.
inline const std::string kPagesOfRows =
    "create table ttable (c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12);"
    "with recursive s(x) as (select 1 union all select x + 1 from s where x < 3) "
    "insert into ttable select x, printf('%.3000c', 'a'), 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 from "
    "s;";
// Two rows, then a recursion that never yields another.
inline const std::string kEndlessView =
    "create view ttable as with recursive c(x) as (select 1 union all select x + 1 from c) "
    "select " +
    ViewColumns("x", "1") + " from c where x < 3";
// One row, then twelve cells of 100 MB each.
inline const std::string kBlobBomb = "create view ttable as select " + ViewColumns("1", "2") +
                                     " union all select " + ViewColumns("2", "zeroblob(100000000)");
inline const std::string kViewOverDroppedTable =
    kPagesOfRows +
    "alter table ttable rename to other; create view ttable as select * from other; drop table "
    "other;";

inline void MakeFifo(const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }

// A hot journal: the writer's one-page cache spills the change into the
// data file before the commit that never comes.
inline void MakeHotJournal(const std::string& path) {
  Sql(path, kPagesOfRows);
  SqlThenDie(path, "pragma cache_size = 1; begin; update ttable set c1 = printf('%.3000c', 'b');");
  ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
}

// Committed rows that live only in the -wal file, with or without the
// -shm index of it.
inline void MakeRowsInWal(const std::string& path, bool keep_index) {
  SqlThenDie(path, "pragma journal_mode = wal;" + kPagesOfRows);
  ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
  if (!keep_index) std::filesystem::remove(path + "-shm");
}

// Every entry of the directory: its kind, and for a file its size and a
// digest of its bytes (short enough to read in a failure).
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& directory) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    std::string content = "not a file";
    std::error_code error;  // a symbolic link that loops has no status
    if (entry.is_regular_file(error)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), {}};
      content = std::to_string(bytes.size()) + " bytes, digest " +
                std::to_string(std::hash<std::string>{}(bytes));
    }
    entries[entry.path().filename().string()] = std::move(content);
  }
  return entries;
}

// The causes that both the reader's and the window's failure tables hold.
inline std::vector<Damage> SharedCauses() {
  return {
      {"missing", [](const std::string&) {}, "The t-table data file is missing: ", 0},
      {"an endless view", Run(kEndlessView),
       "Reading the t-table took longer than 5 seconds and was stopped: ", 2},
      {"a blob bomb", Run(kBlobBomb), "Row 2 of the t-table holds a value longer than 1 MB: ", 1},
      {"a FIFO", MakeFifo, "The t-table data file is not a regular file: ", 0},
      {"a hot journal", MakeHotJournal, kLeftInChange, 0},
      {"rows in the WAL without its index",
       [](const std::string& path) { MakeRowsInWal(path, false); }, kLeftInChange, 0},
      {"a view over a dropped table", Run(kViewOverDroppedTable),
       "The t-table data file cannot be read (no such table: main.other): ", 0},
      {"a directory named in Latin-1", Run(kPagesOfRows), "", 3, "caf\xE9"},
      // A file: URI must carry these as path, not as query, fragment or escape.
      {"a directory named with URI characters", Run(kPagesOfRows), "", 3, "a?b#c%41 d"},
  };
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELMORY_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KELMORY_UNDER_ASAN)
// AddressSanitizer's shadow memory and its quarantine of freed blocks come on
// top of what the read itself holds.
inline constexpr long kPeakMemoryLimitMiB = 1024;
#else
inline constexpr long kPeakMemoryLimitMiB = 512;
#endif

inline long PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace kelmory::testing
