#include "review/table_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "batch/output_file.h"
#include "batch/table_columns.h"

namespace kelmory::review {
namespace {

batch::ByteSource FromMemory(std::string_view bytes) {
  return [bytes](char* buffer, std::size_t size) mutable -> std::ptrdiff_t {
    const std::size_t count = std::min(size, bytes.size());
    std::memcpy(buffer, bytes.data(), count);
    bytes.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  };
}

}  // namespace

std::variant<LoadedTable, std::string> ParseTable(const std::string& bytes,
                                                  std::optional<char> delimiter,
                                                  std::optional<char> decimal) {
  LoadedTable table;
  bool header = true;
  batch::BatchOptions options;
  options.delimiter = delimiter;
  options.decimal = decimal;
  options.on_record = [&](std::span<const std::string_view> cells) {
    Record record(cells.begin(), cells.end());
    if (header) {
      table.header = std::move(record);
      header = false;
    } else {
      table.rows.push_back(std::move(record));
    }
  };
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(bytes), [](std::string_view) { return true; }, options);
  if (summary.status == 2) return summary.message;
  table.dialect = summary.dialect;
  table.encoding = summary.encoding;
  // An earlier result (a saved table) is read as the batch reads it: its
  // columns are made again, the user's cells stay.
  const batch::TableColumns columns =
      batch::ReadTableColumns({table.header.begin(), table.header.end()});
  for (Record& row : table.rows) batch::KeepUserCells(columns, table.header.size(), row);
  table.had_results = columns.width < table.header.size();
  table.header.resize(columns.width);
  return table;
}

std::variant<LoadedTable, std::string> LoadTable(const std::string& path,
                                                 std::optional<char> delimiter,
                                                 std::optional<char> decimal) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string(std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return std::string("it is a folder");
  }
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return std::string(std::strerror(error));
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ParseTable(bytes, delimiter, decimal);
}

std::optional<std::string> SaveTable(const std::string& path, const std::string& input,
                                     const batch::Dialect& dialect, batch::Method method,
                                     double level) {
  batch::OutputFile file(path);
  if (auto error = file.Open()) return error;
  batch::BatchOptions options;
  options.method = method;
  options.level = level;
  options.delimiter = dialect.delimiter;
  options.decimal = dialect.decimal;
  options.working = true;
  std::optional<std::string> write_error;
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(input),
      [&](std::string_view bytes) {
        write_error = file.Write(bytes);
        return !write_error;
      },
      options);
  if (write_error) return write_error;
  if (summary.status == 2) return summary.message;
  return file.Commit();
}

}  // namespace kelmory::review
