#include "ttable/ttable_source.h"

#include <sqlite3.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace kelmory {
namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// "file:" URI for the path, opened immutable: SQLite then takes no lock,
// looks for no journal and never creates a -journal, -wal or -shm file, so
// reading leaves the file and its directory exactly as they were (even for a
// file in WAL mode or one beside a stale journal). Everything but unreserved
// characters is percent-encoded, so "?", "#" and "%" in a path stay path.
std::string ImmutableUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  if (!path.empty() && path.front() == '/') uri += "//";  // empty authority
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                       byte == '~' || byte == '/';
    if (plain) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0xF];
    }
  }
  uri += "?immutable=1";
  return uri;
}

std::filesystem::path FileSystemPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Reason(sqlite3* db) {
  const int system_error = db != nullptr ? sqlite3_system_errno(db) : 0;
  if (system_error != 0) return std::generic_category().message(system_error);
  return db != nullptr ? sqlite3_errmsg(db) : "out of memory";
}

std::string OpenFailureText(const std::string& path, sqlite3* db) {
  std::error_code error;
  const auto status = std::filesystem::status(FileSystemPath(path), error);
  if (status.type() == std::filesystem::file_type::not_found)
    return "The t-table data file is missing: " + path;
  if (status.type() == std::filesystem::file_type::directory)
    return "The t-table data file is a directory, not a file: " + path;
  return "The t-table data file cannot be read (" + Reason(db) + "): " + path;
}

std::string QueryFailureText(const std::string& path, sqlite3* db, int code) {
  const std::string message = sqlite3_errmsg(db);
  if ((code & 0xFF) == SQLITE_NOTADB) return "The t-table data file is not a database: " + path;
  if ((code & 0xFF) == SQLITE_ERROR && message.rfind("no such table", 0) == 0)
    return "The t-table data file holds no table ttable: " + path;
  return "The t-table data file cannot be read (" + message + "): " + path;
}

// SQLite's own text form of the stored value; a NULL is the empty text.
// False only when SQLite ran out of memory converting the value.
bool AssignField(sqlite3* db, sqlite3_stmt* statement, int position, std::string& text) {
  if (sqlite3_column_type(statement, position) == SQLITE_NULL) {
    text.clear();
    return true;
  }
  const unsigned char* value = sqlite3_column_text(statement, position);
  if (value == nullptr) {
    text.clear();
    return sqlite3_errcode(db) != SQLITE_NOMEM;
  }
  text.assign(reinterpret_cast<const char*>(value),
              static_cast<std::size_t>(sqlite3_column_bytes(statement, position)));
  return true;
}

void Fail(TTableReadOutcome& outcome, std::string text) {
  outcome.completed = false;
  outcome.failure_text = std::move(text);
}

// Everything it opens is closed when it returns, on every path.
void Read(const std::string& path, const TTableSource::RowHandler& handler,
          TTableReadOutcome& outcome) {
  if (path.empty()) return Fail(outcome, "The t-table data file is missing: (no path)");

  sqlite3* raw_db = nullptr;
  const int open_code = sqlite3_open_v2(ImmutableUri(path).c_str(), &raw_db,
                                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  const Database db(raw_db);
  if (open_code != SQLITE_OK) return Fail(outcome, OpenFailureText(path, db.get()));

  sqlite3_stmt* raw_statement = nullptr;
  const int prepare_code =
      sqlite3_prepare_v2(db.get(), TTableSource::kQuery.data(),
                         static_cast<int>(TTableSource::kQuery.size()), &raw_statement, nullptr);
  const Statement statement(raw_statement);
  if (prepare_code != SQLITE_OK || statement == nullptr)
    return Fail(outcome, QueryFailureText(path, db.get(), prepare_code));

  TTableRow row;
  for (;;) {
    const int step_code = sqlite3_step(statement.get());
    if (step_code == SQLITE_DONE) break;
    const int row_number = outcome.rows_delivered + 1;
    if (step_code != SQLITE_ROW)
      return Fail(outcome, "Reading row " + std::to_string(row_number) +
                               " of the t-table failed (" + sqlite3_errmsg(db.get()) +
                               "): " + path);
    if (outcome.rows_delivered == TTableSource::kMaxRows)
      return Fail(outcome, std::string(TTableSource::kTooManyRowsText));
    const int fields = sqlite3_data_count(statement.get());
    if (fields < TTableSource::kFieldsPerRow)
      return Fail(outcome, "Row " + std::to_string(row_number) + " of the t-table has " +
                               std::to_string(fields) + " fields, fewer than 13: " + path);

    row.RowNumber = static_cast<std::int16_t>(row_number);
    bool converted = AssignField(db.get(), statement.get(), 0, row.DfText);
    for (int position = 1; position < TTableSource::kFieldsPerRow; ++position)
      converted = AssignField(db.get(), statement.get(), position, row.ValueTexts[position - 1]) &&
                  converted;
    if (!converted)
      return Fail(outcome, "Reading row " + std::to_string(row_number) +
                               " of the t-table failed (out of memory): " + path);

    if (handler) handler(row);
    outcome.rows_delivered = row_number;
  }
  outcome.completed = true;
}

}  // namespace

std::string TTableSource::DataFilePath(std::string_view program_directory) {
  std::string path(program_directory);
  const std::size_t last = program_directory.find_last_not_of(' ');
  const bool ends_in_separator =
      last != std::string_view::npos && program_directory.substr(0, last + 1).ends_with(kSeparator);
  if (!ends_in_separator) path += kSeparator;
  path += kDataFileName;
  return path;
}

TTableReadOutcome TTableSource::ReadRows(std::string_view program_directory,
                                         const RowHandler& handler) {
  return ReadRowsFromFile(DataFilePath(program_directory), handler);
}

TTableReadOutcome TTableSource::ReadRowsFromFile(std::string_view data_file_path,
                                                 const RowHandler& handler) {
  TTableReadOutcome outcome;
  try {
    Read(std::string(data_file_path), handler, outcome);
  } catch (const std::exception& error) {
    // Thrown by the handler or by an allocation; the read has closed all.
    Fail(outcome, "Reading the t-table failed (" + std::string(error.what()) +
                      "): " + std::string(data_file_path));
  } catch (...) {
    Fail(outcome, "Reading the t-table failed: " + std::string(data_file_path));
  }
  return outcome;
}

}  // namespace kelmory
