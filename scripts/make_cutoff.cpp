// Build step: turns the committed text ttable/cutoff.csv into the binary data
// file "cutoff.mdb", an SQLite 3 database with the one table `ttable`.
//
//   kelmory_make_cutoff <cutoff.csv> <cutoff.mdb>
//
// The first line of the CSV is the header "df,50%,...,99.9%"; each further
// line is one row: the degrees of freedom (a whole number, or "∞") and twelve
// values with exactly three decimals. The rows keep the file's order. The df
// is stored as an INTEGER (the "∞" row as text); the values go into columns
// declared TEXT, so SQLite keeps each text exactly as written ("1.000").
//
// The database is written to "<cutoff.mdb>.tmp" and renamed over the target
// only when complete, so an interrupted build never leaves a half file under
// the target's name. Any fault in the CSV stops the build with its line.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr std::string_view kHeader = "df,50%,60%,70%,80%,90%,95%,96%,98%,99%,99.5%,99.8%,99.9%";
constexpr std::string_view kInfinity = "\xE2\x88\x9E";  // "∞"
constexpr const char* kSchema =
    "create table ttable (df INTEGER, t50 TEXT, t60 TEXT, t70 TEXT, t80 TEXT, t90 TEXT, "
    "t95 TEXT, t96 TEXT, t98 TEXT, t99 TEXT, t995 TEXT, t998 TEXT, t999 TEXT)";
constexpr const char* kInsert = "insert into ttable values (?,?,?,?,?,?,?,?,?,?,?,?,?)";

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Digits, a point, then exactly three digits.
bool IsThreeDecimals(std::string_view text) {
  const std::size_t point = text.find('.');
  return point != std::string_view::npos && IsDigits(text.substr(0, point)) &&
         text.size() - point - 1 == 3 && IsDigits(text.substr(point + 1));
}

bool Check(sqlite3* db, int code, const char* what) {
  if (code == SQLITE_OK || code == SQLITE_DONE) return true;
  std::fprintf(stderr, "kelmory_make_cutoff: %s: %s\n", what, sqlite3_errmsg(db));
  return false;
}

bool Exec(sqlite3* db, const char* sql) {
  return Check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

// Writes the complete database at path; false after printing why.
bool WriteDatabase(const std::filesystem::path& path, const std::string& csv_name,
                   std::ifstream& csv) {
  std::string line;
  if (!std::getline(csv, line)) {
    std::fprintf(stderr, "%s: empty file\n", csv_name.c_str());
    return false;
  }
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a byte order mark
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kHeader) {
    std::fprintf(stderr, "%s:1: the header must be \"%s\"\n", csv_name.c_str(), kHeader.data());
    return false;
  }

  sqlite3* db = nullptr;
  const std::u8string name = path.u8string();
  const int open_code = sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &db,
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  struct Closer {
    sqlite3* db;
    ~Closer() { sqlite3_close(db); }
  } closer{db};
  if (!Check(db, open_code, "open")) return false;
  // No journal file: a failed run throws the whole temporary file away.
  if (!Exec(db, "pragma journal_mode = off") || !Exec(db, "begin") || !Exec(db, kSchema))
    return false;

  sqlite3_stmt* insert = nullptr;
  if (!Check(db, sqlite3_prepare_v2(db, kInsert, -1, &insert, nullptr), kInsert)) return false;
  struct Finalizer {
    sqlite3_stmt* statement;
    ~Finalizer() { sqlite3_finalize(statement); }
  } finalizer{insert};

  int line_number = 1;
  int rows = 0;
  while (std::getline(csv, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> fields = SplitFields(line);
    auto fault = [&](const std::string& what) {
      std::fprintf(stderr, "%s:%d: %s\n", csv_name.c_str(), line_number, what.c_str());
      return false;
    };
    if (fields.size() != 13)
      return fault("13 fields expected, found " + std::to_string(fields.size()));
    const std::string& df = fields[0];
    if (IsDigits(df) && df.size() <= 9) {
      sqlite3_bind_int(insert, 1, std::stoi(df));
    } else if (df == kInfinity) {
      sqlite3_bind_text(insert, 1, df.data(), static_cast<int>(df.size()), SQLITE_TRANSIENT);
    } else {
      return fault("the degrees of freedom must be a whole number or \"\xE2\x88\x9E\": \"" + df +
                   "\"");
    }
    for (int i = 1; i < 13; ++i) {
      if (!IsThreeDecimals(fields[i]))
        return fault("a value must have exactly three decimals: \"" + fields[i] + "\"");
      sqlite3_bind_text(insert, i + 1, fields[i].data(), static_cast<int>(fields[i].size()),
                        SQLITE_TRANSIENT);
    }
    if (!Check(db, sqlite3_step(insert), "insert") || !Check(db, sqlite3_reset(insert), "reset"))
      return false;
    ++rows;
  }
  if (rows == 0) {
    std::fprintf(stderr, "%s: no rows\n", csv_name.c_str());
    return false;
  }
  return Exec(db, "commit");
}

// Makes the file's content durable before it is renamed into place.
void SyncFile(const std::filesystem::path& path) {
#if defined(__unix__) || defined(__APPLE__)
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
#else
  (void)path;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kelmory_make_cutoff <cutoff.csv> <cutoff.mdb>\n");
    return 2;
  }
  const std::string csv_name = argv[1];
  const std::filesystem::path target = argv[2];
  std::filesystem::path temporary = target;
  temporary += ".tmp";

  std::ifstream csv(csv_name, std::ios::binary);
  if (!csv) {
    std::fprintf(stderr, "kelmory_make_cutoff: cannot read %s\n", csv_name.c_str());
    return 1;
  }
  std::error_code error;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
  std::filesystem::remove(temporary, error);  // left by an interrupted run

  if (!WriteDatabase(temporary, csv_name, csv)) {
    std::filesystem::remove(temporary, error);
    return 1;
  }
  SyncFile(temporary);
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::fprintf(stderr, "kelmory_make_cutoff: cannot rename %s to %s: %s\n",
                 temporary.string().c_str(), target.string().c_str(), error.message().c_str());
    std::filesystem::remove(temporary, error);
    return 1;
  }
  return 0;
}
