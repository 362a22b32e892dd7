#include "review/table_file.h"

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "batch/output_file.h"

namespace kelmory::review {
namespace {

// The cells as the reader gives them, UTF-16 files already in UTF-8.
bool IsText(std::string_view cell) {
  if (cell.find('\0') != std::string_view::npos) return false;
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(QByteArrayView(cell.data(), cell.size()));
  return !decoder.hasError();
}

batch::ByteSource FromMemory(std::string_view bytes) {
  return [bytes](char* buffer, std::size_t size) mutable -> std::ptrdiff_t {
    const std::size_t count = std::min(size, bytes.size());
    std::memcpy(buffer, bytes.data(), count);
    bytes.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  };
}

}  // namespace

std::variant<LoadedTable, std::string> ParseTable(const std::string& bytes) {
  LoadedTable table;
  bool header = true, text = true;
  batch::BatchOptions options;
  options.on_record = [&](std::span<const std::string_view> cells) {
    for (const std::string_view cell : cells) text = text && IsText(cell);
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
  if (!text) return std::string("it is not a text file");
  if (summary.status == 2) return summary.message;
  table.dialect = summary.dialect;
  return table;
}

std::variant<LoadedTable, std::string> LoadTable(const std::string& path,
                                                 const std::atomic<bool>* cancel) {
  auto read = ReadRegularFile(path, cancel);
  if (auto* error = std::get_if<std::string>(&read)) return std::move(*error);
  auto& file = std::get<FileBytes>(read);
  auto parsed = ParseTable(file.bytes);
  if (auto* table = std::get_if<LoadedTable>(&parsed)) table->stamp = file.stamp;
  return parsed;
}

std::variant<FileStamp, std::string> SaveTable(const std::string& path, const std::string& input,
                                               const batch::Dialect& dialect, batch::Method method,
                                               double level) {
  batch::OutputFile file(path);
  if (auto error = file.Open()) return std::move(*error);
  batch::BatchOptions options;
  options.method = method;
  options.level = level;
  options.delimiter = dialect.delimiter;
  options.decimal = dialect.decimal;
  options.working = true;
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
