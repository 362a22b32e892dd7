// libFuzzer target for kelmory-batch's reader and row rules. Whatever the
// bytes, the run ends with a status; unless it stopped (status 2), the
// output is CSV with exactly one record per input record, each holding the
// input's cells unchanged, the added columns under their names and the cells
// past the header after them, and status 1 exactly when a row was refused.
// The median, two-group and subgroup columns, and arms, are in the corpus.
//
// Input layout: byte 0 holds the options (bit 0 --method z, bit 1
// --working, bits 2-3 the delimiter: found, ",", ";" or tab; bits 4-5 the
// decimal: default, "." or ","); the rest is the table.

#include <csv.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "table/batch_run.h"
#include "table/table_cells.h"
#include "table/table_columns.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

int NoSpace(unsigned char) { return 0; }

struct Shape {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
};

void OnField(void* text, std::size_t size, void* data) {
  static_cast<Shape*>(data)->record.emplace_back(static_cast<const char*>(text), size);
}
void OnRecord(int, void* data) {
  auto* shape = static_cast<Shape*>(data);
  shape->records.push_back(std::move(shape->record));
  shape->record.clear();
}

bool SepLine(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.size() < 6 || text[3] != '=') return false;
  for (int i = 0; i < 3; ++i) {
    if ((text[i] | 0x20) != "sep"[i]) return false;
  }
  return text[4] != '"' && text[4] != '\r' && text[4] != '\n' &&
         (text[5] == '\r' || text[5] == '\n');
}

// The records as libcsv reads them, or false for broken CSV. A byte-order
// mark counts only at the very start.
bool Read(std::string_view text, char delimiter, Shape& shape) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  csv_parser parser;
  csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI);
  csv_set_space_func(&parser, NoSpace);
  csv_set_delim(&parser, static_cast<unsigned char>(delimiter));
  const bool ok =
      csv_parse(&parser, text.data(), text.size(), OnField, OnRecord, &shape) == text.size() &&
      csv_fini(&parser, OnField, OnRecord, &shape) == 0;
  csv_free(&parser);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelmory::batch;
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  BatchOptions options;
  options.method = flags & 1 ? Method::Z : Method::T;
  options.working = flags & 2;
  const char delimiters[] = {0, ',', ';', '\t'};
  if (const char d = delimiters[(flags >> 2) & 3]) options.delimiter = d;
  const char decimals[] = {0, '.', ',', 0};
  if (const char d = decimals[(flags >> 4) & 3]) options.decimal = d;

  // Handed out in uneven pieces, so that chunk edges fall anywhere.
  std::size_t at = 0, step = 1 + flags % 7;
  std::string output;
  const BatchSummary summary = RunBatch(
      [&](char* buffer, std::size_t room) -> std::ptrdiff_t {
        const std::size_t n = std::min({room, step, input.size() - at});
        std::copy_n(input.data() + at, n, buffer);
        at += n;
        step = step * 3 % 17 + 1;
        return static_cast<std::ptrdiff_t>(n);
      },
      [&](std::string_view bytes) {
        output.append(bytes);
        return true;
      },
      options);

  Require(summary.status >= 0 && summary.status <= 2);
  if (summary.status == 2) {
    Require(!summary.message.empty() && summary.message.find('\n') == std::string::npos);
    return 0;
  }
  Require(summary.status == (summary.refused ? 1 : 0) && summary.refused <= summary.rows);
  if (!options.delimiter) return 0;  // the found delimiter is the run's own business

  // UTF-16 and Windows-1252 are read as UTF-8: their cells are another matter.
  if (summary.encoding != "UTF-8") return 0;

  Shape in, out;
  Require(Read(input, *options.delimiter, in));
  Require(Read(output, *options.delimiter, out));
  // A "sep=" line is carried as the output's first line, with the delimiter
  // the run used.
  if (SepLine(input)) {
    Require(!in.records.empty() && !out.records.empty());
    in.records.erase(in.records.begin());
    out.records.erase(out.records.begin());
  }
  Require(out.records.size() == in.records.size() && summary.rows + 1 == out.records.size());
  // Every record carries the user's cells under the header unchanged (but
  // the sd and mean cells the run fills), short ones filled out with empty
  // cells, then the added columns, then the cells past the header; an
  // earlier result block is left out.
  const std::size_t width = in.records.front().size();
  const std::vector<std::string_view> header(in.records.front().begin(), in.records.front().end());
  const TableColumns columns = ReadTableColumns(header);
  const std::size_t own = columns.width;
  const std::size_t added = ResultColumns(columns, header, options.working).size();
  std::vector<int> filled = {columns.sd, columns.fill_mean ? columns.index[kMean] : -1};
  for (const ArmColumns& arm : columns.arms) {
    filled.push_back(arm.sd);
    if (arm.fill_mean) filled.push_back(arm.index[kMean]);
  }
  const auto fills = [&](std::size_t i) {
    return std::find(filled.begin(), filled.end(), static_cast<int>(i)) != filled.end();
  };
  for (std::size_t r = 0; r < in.records.size(); ++r) {
    const auto& cells = in.records[r];
    const std::size_t extra = cells.size() > width ? cells.size() - width : 0;
    Require(out.records[r].size() == own + added + extra);
    for (std::size_t i = 0; i < own; ++i) {
      if (r > 0 && fills(i)) continue;
      Require(out.records[r][i] == (i < cells.size() ? cells[i] : std::string()));
    }
    for (std::size_t i = 0; i < extra; ++i) {
      Require(out.records[r][own + added + i] == cells[width + i]);
    }
  }
  return 0;
}
