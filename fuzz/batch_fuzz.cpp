// libFuzzer target for kelmory-batch's reader and row rules. Whatever the
// bytes, the run ends with a status; unless it stopped (status 2), the
// output is CSV with exactly one record per input record, each as wide as
// the header plus the added columns, and status 1 exactly when a row was
// refused.
//
// Input layout: byte 0 holds the options (bit 0 --method z, bit 1
// --working, bits 2-3 the delimiter: found, ",", ";" or tab; bits 4-5 the
// decimal: default, "." or ","); the rest is the table.

#include <csv.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "batch/batch_run.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

int NoSpace(unsigned char) { return 0; }

struct Shape {
  std::size_t records = 0, fields = 0;
  std::size_t first_width = 0;
  bool same_width = true;
};

void OnField(void*, std::size_t, void* data) { ++static_cast<Shape*>(data)->fields; }
void OnRecord(int, void* data) {
  auto* shape = static_cast<Shape*>(data);
  if (shape->records++ == 0) shape->first_width = shape->fields;
  shape->same_width = shape->same_width && shape->fields == shape->first_width;
  shape->fields = 0;
}

// Records and widths as libcsv reads them, or nothing for broken CSV.
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

  Shape in, out;
  Require(Read(input, *options.delimiter, in));
  Require(Read(output, *options.delimiter, out));
  Require(out.records == in.records && summary.rows + 1 == out.records && out.same_width);
  const std::size_t added = options.working ? kAddedColumns.size() : kAddedColumns.size() - 1;
  Require(out.first_width == in.first_width + added);
  return 0;
}
