#include "ttable/ttable_source.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <memory>
#include <string>
#include <system_error>

namespace kelmory {
namespace {

using Clock = std::chrono::steady_clock;

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// SQLite's heap is process-wide; the read bounds it while it runs and puts
// the previous bounds back afterwards (setting the hard one lowers the soft).
class HeapLimit {
 public:
  explicit HeapLimit(sqlite3_int64 bytes)
      : soft_(sqlite3_soft_heap_limit64(-1)), hard_(sqlite3_hard_heap_limit64(bytes)) {}
  ~HeapLimit() {
    sqlite3_hard_heap_limit64(hard_);
    sqlite3_soft_heap_limit64(soft_);
  }
  HeapLimit(const HeapLimit&) = delete;
  HeapLimit& operator=(const HeapLimit&) = delete;

 private:
  const sqlite3_int64 soft_;
  const sqlite3_int64 hard_;
};
constexpr sqlite3_int64 kSqliteHeapBytes = 64 << 20;

// Virtual machine steps between two looks at the clock: cheap enough to
// cost nothing on the legitimate table, frequent enough to stop at once.
constexpr int kStepsPerClockCheck = 1000;

// Built-in SQL functions one call of which can run for minutes on values
// within the length limit (a repeated character, quadratic searches), out of
// the progress handler's reach. The reader's connection replaces them with a
// function that is not innocuous, which an untrusted schema may not call: a
// view or generated column that calls one is refused before it runs.
constexpr const char* kRefusedFunctions[] = {"printf", "format", "instr", "replace", "trim",
                                             "ltrim",  "rtrim",  "like",  "glob"};

void Refuse(sqlite3_context* context, int, sqlite3_value**) {
  sqlite3_result_error(context, "not allowed in the t-table", -1);
}

struct Deadline {
  Clock::time_point at;
  bool passed = false;
};

int StopWhenLate(void* context) {
  auto* deadline = static_cast<Deadline*>(context);
  if (Clock::now() >= deadline->at) deadline->passed = true;
  return deadline->passed ? 1 : 0;
}

// "file:" URI for the path. Everything but unreserved characters is
// percent-encoded, so "?", "#", "%" and bytes that are no UTF-8 stay path.
std::string Uri(const std::string& path, const char* parameters) {
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
  uri += '?';
  uri += parameters;
  return uri;
}

// The file's kind is checked before SQLite opens it, yet it may change in
// between: with O_NONBLOCK a FIFO put there meanwhile opens at once (and then
// reads as no database) instead of waiting for a writer. The flag changes
// nothing for a regular file. SQLite's table of system calls is
// process-wide, so this is set once.
int OpenWithoutBlocking(const char* path, int flags, int mode) {
  return open(path, flags | O_NONBLOCK, mode);
}

void NeverBlockOnOpen() {
  static const bool set = [] {
    sqlite3_vfs* const vfs = sqlite3_vfs_find(nullptr);
    return vfs != nullptr && vfs->iVersion >= 3 && vfs->xSetSystemCall != nullptr &&
           vfs->xSetSystemCall(vfs, "open",
                               reinterpret_cast<sqlite3_syscall_ptr>(OpenWithoutBlocking)) ==
               SQLITE_OK;
  }();
  static_cast<void>(set);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// Any cell shown is either text or, for a blob, valid UTF-8.
bool IsUtf8(const unsigned char* bytes, std::size_t size) {
  std::size_t k = 0;
  while (k < size) {
    const unsigned char lead = bytes[k];
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead < 0x80) {
      ++k;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (size - k < static_cast<std::size_t>(length)) return false;
    if (bytes[k + 1] < low || bytes[k + 1] > high) return false;
    for (int n = 2; n < length; ++n)
      if ((bytes[k + n] & 0xC0) != 0x80) return false;
    k += length;
  }
  return true;
}

void Fail(TTableReadOutcome& outcome, std::string text) {
  outcome.completed = false;
  outcome.failure_text = std::move(text);
}

class Reader {
 public:
  Reader(std::string path, const TTableSource::RowHandler& handler, TTableReadOutcome& outcome)
      : path_(std::move(path)), handler_(handler), outcome_(outcome) {}

  // Everything it opens is closed when it returns, on every path.
  void Read() {
    deadline_.at = Clock::now() + TTableSource::kTimeLimit;
    if (!IsRegularFile()) return;

    const HeapLimit heap(kSqliteHeapBytes);
    if (!Open()) return;
    sqlite3_stmt* raw_statement = nullptr;
    const int prepare_code =
        sqlite3_prepare_v2(db_.get(), TTableSource::kQuery.data(),
                           static_cast<int>(TTableSource::kQuery.size()), &raw_statement, nullptr);
    const Statement statement(raw_statement);
    if (prepare_code != SQLITE_OK || statement == nullptr) return FailQuery(prepare_code, 0);
    ReadRows(statement.get());
  }

 private:
  // Checked before SQLite opens the file, because opening a FIFO blocks.
  bool IsRegularFile() {
    if (path_.empty()) {
      Fail(outcome_, "The t-table data file is missing: (no path)");
      return false;
    }
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0) {
      const int error = errno;
      Fail(outcome_, error == ENOENT || error == ENOTDIR
                         ? "The t-table data file is missing: " + path_
                         : "The t-table data file cannot be read (" +
                               std::generic_category().message(error) + "): " + path_);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      Fail(outcome_, "The t-table data file is a directory, not a file: " + path_);
      return false;
    }
    if (!S_ISREG(info.st_mode)) {
      Fail(outcome_, "The t-table data file is not a regular file: " + path_);
      return false;
    }
    return true;
  }

  // The connection lives on one thread for one read, so it goes without the
  // lock SQLite otherwise takes in every call, three calls a field.
  // Without a journal or WAL file beside it the file is complete, and an
  // immutable open reads it without locks, journal or -shm. With one, SQLite
  // must apply its own rules or show a change half made; read only, it then
  // refuses whatever it could only mend by writing, and readonly_shm keeps
  // it from creating a -shm file.
  bool Open() {
    in_change_ = Exists(path_ + "-journal") || Exists(path_ + "-wal");
    NeverBlockOnOpen();
    sqlite3* raw_db = nullptr;
    const int open_code = sqlite3_open_v2(
        Uri(path_, in_change_ ? "mode=ro&readonly_shm=1" : "immutable=1").c_str(), &raw_db,
        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX,
        nullptr);
    db_.reset(raw_db);
    if (open_code != SQLITE_OK) {
      FailQuery(open_code, 0);
      return false;
    }
    sqlite3* const db = db_.get();
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, static_cast<int>(TTableSource::kMaxCellBytes));
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_progress_handler(db, kStepsPerClockCheck, StopWhenLate, &deadline_);
    for (const char* name : kRefusedFunctions)
      sqlite3_create_function_v2(db, name, -1, SQLITE_UTF8, nullptr, Refuse, nullptr, nullptr,
                                 nullptr);
    // Sorts and temporary tables stay under the heap limit instead of
    // filling the temporary directory.
    const int pragma_code =
        sqlite3_exec(db, "pragma temp_store = memory", nullptr, nullptr, nullptr);
    if (pragma_code != SQLITE_OK) {
      FailQuery(pragma_code, 0);
      return false;
    }
    return true;
  }

  void ReadRows(sqlite3_stmt* statement) {
    TTableRow row;
    std::int64_t table_bytes = 0;
    for (;;) {
      const int step_code = sqlite3_step(statement);
      if (step_code == SQLITE_DONE) break;
      const int row_number = outcome_.rows_delivered + 1;
      if (step_code != SQLITE_ROW) return FailQuery(step_code, row_number);
      if (outcome_.rows_delivered == TTableSource::kMaxRows)
        return Fail(outcome_, std::string(TTableSource::kTooManyRowsText));
      const int fields = sqlite3_data_count(statement);
      if (fields < TTableSource::kFieldsPerRow)
        return Fail(outcome_, "Row " + std::to_string(row_number) + " of the t-table has " +
                                  std::to_string(fields) + " fields, fewer than 13: " + path_);

      row.RowNumber = static_cast<std::int16_t>(row_number);
      bool converted = AssignField(statement, 0, row.DfText);
      for (int position = 1; position < TTableSource::kFieldsPerRow; ++position)
        converted = AssignField(statement, position, row.ValueTexts[position - 1]) && converted;
      if (!converted) return FailQuery(SQLITE_NOMEM, row_number);
      table_bytes += static_cast<std::int64_t>(row.DfText.size());
      for (const std::string& text : row.ValueTexts)
        table_bytes += static_cast<std::int64_t>(text.size());
      if (table_bytes > TTableSource::kMaxTableBytes)
        return Fail(outcome_,
                    "The t-table holds more than 32 MB of text; the read stopped at row " +
                        std::to_string(row_number) + ": " + path_);

      if (handler_) handler_(row);
      outcome_.rows_delivered = row_number;
    }
    outcome_.completed = true;
  }

  // SQLite's own text form of the stored value; a NULL is the empty text,
  // and a blob that is no UTF-8 a placeholder with its size. False only
  // when SQLite ran out of memory converting the value.
  bool AssignField(sqlite3_stmt* statement, int position, std::string& text) const {
    const int type = sqlite3_column_type(statement, position);
    if (type == SQLITE_NULL) {
      text.clear();
      return true;
    }
    const void* value = type == SQLITE_BLOB ? sqlite3_column_blob(statement, position)
                                            : sqlite3_column_text(statement, position);
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, position));
    if (value == nullptr) {
      text.clear();
      return size == 0 && sqlite3_errcode(db_.get()) != SQLITE_NOMEM;
    }
    const auto* bytes = static_cast<const unsigned char*>(value);
    if (type == SQLITE_BLOB && !IsUtf8(bytes, size)) {
      text = "(binary, " + std::to_string(size) + (size == 1 ? " byte)" : " bytes)");
      return true;
    }
    text.assign(reinterpret_cast<const char*>(bytes), size);
    return true;
  }

  // A failure of SQLite while opening (row 0 before any row is stepped to)
  // or while stepping to row `row_number`.
  void FailQuery(int code, int row_number) {
    const std::string row = std::to_string(row_number);
    const std::string message = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
    if (IsLeftInChange(code))
      return Fail(outcome_,
                  "The t-table data file was left in the middle of a change and cannot be read "
                  "without changing it: " +
                      path_);
    switch (code & 0xFF) {
      case SQLITE_INTERRUPT:
        if (deadline_.passed)
          return Fail(outcome_,
                      "Reading the t-table took longer than 5 seconds and was stopped: " + path_);
        break;
      case SQLITE_TOOBIG:
        if (row_number > 0)
          return Fail(outcome_,
                      "Row " + row + " of the t-table holds a value longer than 1 MB: " + path_);
        break;
      case SQLITE_NOTADB:
        return Fail(outcome_, "The t-table data file is not a database: " + path_);
      case SQLITE_ERROR:
        if (row_number == 0 && !HasTable())
          return Fail(outcome_, "The t-table data file holds no table ttable: " + path_);
        break;
      default:
        break;
    }
    if (row_number == 0)
      return Fail(outcome_, "The t-table data file cannot be read (" + message + "): " + path_);
    Fail(outcome_, "Reading row " + row + " of the t-table failed (" + message + "): " + path_);
  }

  // What SQLite answers, read only, when a journal or WAL file beside the
  // data file needs a rollback, a recovery or a -shm file it may not make.
  bool IsLeftInChange(int code) const {
    switch (code) {
      case SQLITE_READONLY_ROLLBACK:
      case SQLITE_READONLY_RECOVERY:
      case SQLITE_READONLY_CANTINIT:
      case SQLITE_READONLY_CANTLOCK:
      case SQLITE_BUSY_RECOVERY:
        return true;
      default:
        return in_change_ && (code & 0xFF) == SQLITE_CANTOPEN;
    }
  }

  // Whether the schema names a table or view ttable, as the query would
  // find it. False too when the schema cannot be read.
  bool HasTable() const {
    if (!db_) return false;
    sqlite3_stmt* raw_statement = nullptr;
    sqlite3_prepare_v2(db_.get(),
                       "select 1 from sqlite_schema where type in ('table', 'view') and "
                       "name = 'ttable' collate nocase",
                       -1, &raw_statement, nullptr);
    const Statement statement(raw_statement);
    return statement != nullptr && sqlite3_step(statement.get()) == SQLITE_ROW;
  }

  const std::string path_;
  const TTableSource::RowHandler& handler_;
  TTableReadOutcome& outcome_;
  Deadline deadline_;
  bool in_change_ = false;
  Database db_;
};

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
    Reader(std::string(data_file_path), handler, outcome).Read();
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
