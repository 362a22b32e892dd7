#include "review/table_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "table/output_file.h"
#include "table/table_columns.h"

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
  batch::TableColumns columns;
  table::Record record;
  batch::BatchOptions options;
  options.delimiter = delimiter;
  options.decimal = decimal;
  // An earlier result (a saved table) is read as the batch reads it: its
  // columns are made again, the user's cells stay. Each row is packed as it
  // comes, so that the file is never held twice over.
  options.on_record = [&](std::span<const std::string_view> cells) {
    if (header) {
      table.header.assign(cells.begin(), cells.end());
      columns = batch::ReadTableColumns({table.header.begin(), table.header.end()});
      header = false;
      return;
    }
    record.assign(cells.begin(), cells.end());
    batch::KeepUserCells(columns, table.header.size(), record);
    table.rows.emplace_back(record);
  };
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(bytes), [](std::string_view) { return true; }, options);
  if (summary.status == 2) return summary.message;
  table.dialect = summary.dialect;
  table.encoding = summary.encoding;
  table.had_results = columns.width < table.header.size();
  table.header.resize(columns.width);
  return table;
}

std::variant<LoadedTable, std::string> LoadTable(const std::string& path,
                                                 const std::atomic<bool>* cancel,
                                                 std::optional<char> delimiter,
                                                 std::optional<char> decimal) {
  auto read = ReadRegularFile(path, cancel);
  if (auto* error = std::get_if<std::string>(&read)) return std::move(*error);
  auto& file = std::get<FileBytes>(read);
  auto parsed = ParseTable(file.bytes, delimiter, decimal);
  if (auto* table = std::get_if<LoadedTable>(&parsed)) table->stamp = file.stamp;
  return parsed;
}

std::variant<FileStamp, std::string> SaveTable(const std::string& path, const std::string& input,
                                               const batch::BatchOptions& options) {
  batch::OutputFile file(path);
  if (auto error = file.Open()) return std::move(*error);
  std::optional<std::string> write_error;
  StampBuilder stamp;
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(input),
      [&](std::string_view bytes) {
        stamp.Add(bytes);
        write_error = file.Write(bytes);
        return !write_error;
      },
      options);
  if (write_error) return std::move(*write_error);
  if (summary.status == 2) return summary.message;
  if (auto error = file.Commit()) return std::move(*error);
  const auto time = TimeAndSize(path);
  return stamp.Finish(time ? time->first : 0);
}

}  // namespace kelmory::review
