#pragma once
// Helpers for the t-table tests: temporary directories, fixture databases
// made with the SQLite C API, checksums and directory listings.

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelmory::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the scope.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelmory-ttable-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs SQL statements (no parameters) against a new or existing database.
inline void ExecAll(const std::string& path, const std::vector<std::string>& statements) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot create " + path);
  }
  for (const std::string& sql : statements) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message != nullptr ? message : "?";
      sqlite3_free(message);
      sqlite3_close(db);
      throw std::runtime_error(sql + ": " + text);
    }
  }
  sqlite3_close(db);
}

// "create table ttable (c0, c1, ...)" with `columns` columns; declared TEXT
// unless told otherwise.
inline std::string CreateTable(int columns, const std::string& type = "TEXT",
                               const std::string& name = "ttable") {
  std::string sql = "create table " + name + " (";
  for (int i = 0; i < columns; ++i) sql += (i ? ", c" : "c") + std::to_string(i) + " " + type;
  return sql + ")";
}

// The text of field `field` in row `row` (1-based) of a generated table.
inline std::string CellText(int row, int field) {
  return "r" + std::to_string(row) + "f" + std::to_string(field);
}

// A table `ttable` with `columns` columns and `rows` rows of CellText.
inline void MakeGeneratedTable(const std::string& path, int columns, int rows) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot create " + path);
  }
  auto run = [&](const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
  };
  run("begin");
  run(CreateTable(columns));
  std::string insert = "insert into ttable values (";
  for (int i = 0; i < columns; ++i) insert += i ? ",?" : "?";
  insert += ")";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
  for (int row = 1; row <= rows; ++row) {
    for (int field = 0; field < columns; ++field) {
      const std::string text = CellText(row, field);
      sqlite3_bind_text(statement, field + 1, text.c_str(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
    if (sqlite3_step(statement) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  run("commit");
  sqlite3_close(db);
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// FNV-1a, 64 bits, over the file's bytes.
inline std::uint64_t Checksum(const std::filesystem::path& path) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : ReadFile(path)) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

// The names in a directory.
inline std::set<std::string> Listing(const std::filesystem::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

// The number of file descriptors the process holds open (Linux).
inline int OpenDescriptors() {
  int count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
       it.increment(error))
    ++count;
  return count;
}

}  // namespace kelmory::testing
