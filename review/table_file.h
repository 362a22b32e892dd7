#pragma once
// A review table on disk: read with kelmory-batch's reader (the delimiter,
// decimal separator and line ends found as it finds them) and written as
// kelmory-batch writes it, through its all-or-nothing output file.

#include <string>
#include <variant>
#include <vector>

#include "review/file_guard.h"
#include "table/batch_run.h"
#include "table/table_text.h"

namespace kelmory::review {

struct LoadedTable {
  table::Record header;
  std::vector<table::PackedCells> rows;
  batch::Dialect dialect;
  // How the file's bytes were read (batch::BatchSummary::encoding): a
  // file that is not UTF-8 says so, and is saved as UTF-8.
  std::string encoding = "UTF-8";
  // The file ended with the program's own columns (a saved result): they
  // were left out of `header` and `rows`, to be made again.
  bool had_results = false;
  FileStamp stamp;  // of the file it was read from
};

// The table in `bytes`, or one line saying what is wrong with it. A given
// delimiter or decimal separator is taken instead of the one found.
std::variant<LoadedTable, std::string> ParseTable(const std::string& bytes,
                                                  std::optional<char> delimiter = std::nullopt,
                                                  std::optional<char> decimal = std::nullopt);

// Reads the file whole, a regular file only; the error says why it cannot
// be read. `cancel` set stops it. A given delimiter or decimal separator is
// taken instead of the one found.
std::variant<LoadedTable, std::string> LoadTable(const std::string& path,
                                                 const std::atomic<bool>* cancel = nullptr,
                                                 std::optional<char> delimiter = std::nullopt,
                                                 std::optional<char> decimal = std::nullopt);

// kelmory-batch's output for `input` with `options` (the table's dialect
// and the window's choices, so that the file holds what the window shows)
// written all or nothing to `path`: what the file then holds, or the error.
std::variant<FileStamp, std::string> SaveTable(const std::string& path, const std::string& input,
                                               const batch::BatchOptions& options);

}  // namespace kelmory::review
