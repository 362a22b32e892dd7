#pragma once
// The t-table data source: reads the rows of table `ttable` from
// the data file "cutoff.mdb" beside the program, read only, through the
// SQLite C API. Plain C++: no Qt here, so the window and the tests
// use it alike. Cell texts are UTF-8; paths are the file system's own bytes,
// and a failure text names the path by those bytes.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelmory {

// One row of the table as delivered to the window.
struct TTableRow {
  std::int16_t RowNumber = 0;              // 1-based position in query order
  std::string DfText;                      // field 0: the degrees of freedom
  std::array<std::string, 12> ValueTexts;  // fields 1 to 12: 50% ... 99.9%
};

// What a read came to. A read that did not complete delivered the rows
// before its failure and none after it.
struct TTableReadOutcome {
  bool completed = false;
  std::string failure_text;  // names the cause and the data file; empty when completed
  int rows_delivered = 0;
};

class TTableSource {
 public:
  // Called once per row, synchronously, in query order.
  using RowHandler = std::function<void(const TTableRow&)>;

  static constexpr std::string_view kDataFileName = "cutoff.mdb";
  static constexpr std::string_view kSeparator = "/";
  static constexpr std::string_view kQuery = "select * from ttable";
  static constexpr int kFieldsPerRow = 13;
  static constexpr int kMaxRows = 32766;
  static constexpr std::string_view kTooManyRowsText =
      "The t-table holds more than 32766 rows; only the first 32766 are shown.";

  // Bounds that keep a damaged or hostile file from freezing the program or
  // exhausting memory: a read is stopped once it has run this long, no cell
  // may be longer than this, and the cells of one read together no longer.
  static constexpr std::chrono::seconds kTimeLimit{5};
  static constexpr std::int64_t kMaxCellBytes = 1 << 20;
  static constexpr std::int64_t kMaxTableBytes = 32 << 20;

  // The directory text as reported, then "/" unless the text without its
  // leading and trailing spaces ends in "/" (an empty text gets one), then
  // "cutoff.mdb". The spaces stay: only the test ignores them.
  static std::string DataFilePath(std::string_view program_directory);

  // Reads DataFilePath(program_directory). The window passes the native
  // bytes of the directory that holds the executable.
  static TTableReadOutcome ReadRows(std::string_view program_directory, const RowHandler& handler);

  // Reads the file at data_file_path itself (tests, benchmarks).
  static TTableReadOutcome ReadRowsFromFile(std::string_view data_file_path,
                                            const RowHandler& handler);
};

}  // namespace kelmory
