#pragma once
// A review table on disk: read with kelmory-batch's reader (the delimiter,
// decimal separator and line ends found as it finds them) and written as
// kelmory-batch writes it, through its all-or-nothing output file.

#include <string>
#include <variant>
#include <vector>

#include "batch/batch_run.h"
#include "review/file_guard.h"
#include "review/table_text.h"

namespace kelmory::review {

struct LoadedTable {
  Record header;
  std::vector<Record> rows;
  batch::Dialect dialect;
  FileStamp stamp;  // of the file it was read from
};

// The table in `bytes`, or one line saying what is wrong with it.
std::variant<LoadedTable, std::string> ParseTable(const std::string& bytes);

// Reads the file whole, a regular file only; the error says why it cannot
// be read. `cancel` set stops it.
std::variant<LoadedTable, std::string> LoadTable(const std::string& path,
                                                 const std::atomic<bool>* cancel = nullptr);

// kelmory-batch's output for `input` (a table in `dialect`) written all or
// nothing to `path`: what the file then holds, or the error.
std::variant<FileStamp, std::string> SaveTable(const std::string& path, const std::string& input,
                                               const batch::Dialect& dialect, batch::Method method,
                                               double level);

}  // namespace kelmory::review
