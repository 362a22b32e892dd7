#pragma once
// A t-table file of many rows for the benchmarks, written with the SQLite C API.

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace kelmory::bench {

// Builds a `ttable` of 13 TEXT columns with `rows` rows of table-like texts.
inline bool MakeLargeTable(const std::string& path, int rows) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) == SQLITE_OK;
  ok = ok && sqlite3_exec(db,
                          "begin; create table ttable (df INTEGER, t50 TEXT, t60 TEXT, t70 TEXT, "
                          "t80 TEXT, t90 TEXT, t95 TEXT, t96 TEXT, t98 TEXT, t99 TEXT, t995 TEXT, "
                          "t998 TEXT, t999 TEXT)",
                          nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "insert into ttable values (?,?,?,?,?,?,?,?,?,?,?,?,?)", -1,
                                &insert, nullptr) == SQLITE_OK;
  for (int row = 1; ok && row <= rows; ++row) {
    sqlite3_bind_int(insert, 1, row);
    for (int column = 2; column <= 13; ++column) {
      char text[16];
      std::snprintf(text, sizeof text, "%d.%03d", column / 4, (row * column) % 1000);
      sqlite3_bind_text(insert, column, text, -1, SQLITE_TRANSIENT);
    }
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

}  // namespace kelmory::bench
