#pragma once
// table/: the table side of a review, over libcsv and without Qt: the
// dialect (delimiter, decimal separator, encoding, line ends), the reader,
// the writer with its number text (shortest_text.h) and OutputFile. RunBatch
// reads a CSV table of studies in chunks, converts each row as it arrives
// with rows/'s ConvertRow and writes the table back with the added columns,
// so memory stays flat whatever the number of rows. kelmory-batch (batch/)
// is a command line around it; kelmory-review (review/) reads and writes its
// files through it. The namespace stays kelmory::batch.
// StudyTable (study_table.h, namespace kelmory::table) is the table of
// studies being edited, with its packed rows, clipboard blocks and undo
// steps: review/'s model and web/'s binding are views over it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rows/row_rules.h"

namespace kelmory::batch {

struct BatchOptions {
  Method method = Method::T;
  Level level = 95;
  std::optional<char> delimiter;  // found from the header line when absent
  // Found from the first rows' number cells where they read only one way;
  // otherwise "," with ";" as delimiter, else ".".
  std::optional<char> decimal;
  bool working = false;
  // The correlation imputed for change rows without corr or sd_change, as
  // RowSettings takes it.
  CorrImputation corr = CorrImputation::None;
  std::optional<double> imputed_corr;
  std::uint64_t corr_rows = 0;
  MedianMethod median = MedianMethod::Normal;
  // Told each record's cells as read, the header's first.
  std::function<void(std::span<const std::string_view> cells)> on_record;
};

// Fills `buffer` and returns the bytes read, 0 at the end, -1 on a read error.
using ByteSource = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;
// Takes the next piece of output; false on a write error.
using ByteSink = std::function<bool(std::string_view bytes)>;
// Told the total bytes read so far, after each chunk.
using Progress = std::function<void(std::uint64_t bytes_read)>;

// How a table is written, as the reader found it.
struct Dialect {
  char delimiter = ',';
  char decimal = '.';
  std::string_view line_end = "\n";  // LF, CR LF or CR
  bool bom = false;                  // a byte-order mark before the header
  bool sep_line = false;             // a "sep=" line before the header
  bool decimal_found = false;        // from the number cells, not the default
};

struct BatchSummary {
  int status = 0;       // 0 all rows have an sd, 1 some refused, 2 the run failed
  std::string message;  // status 2: one line, without the program's name
  std::uint64_t rows = 0, refused = 0;
  Dialect dialect;  // once the header line is read
  // The correlations the change rows' three SDs give, as Fisher's z:
  // their count and sum, for --corr table.
  std::uint64_t correlations = 0;
  double fisher_z_sum = 0;
  // How the bytes were read: "UTF-8", "UTF-16" (with a byte-order mark) or
  // "Windows-1252" (a file that is not UTF-8); the output is UTF-8.
  std::string_view encoding = "UTF-8";
};

// The mean correlation of `summary`'s rows, back from the mean of their
// Fisher's z; nothing when none gives one.
std::optional<double> MeanCorrelation(const BatchSummary& summary);

BatchSummary RunBatch(const ByteSource& source, const ByteSink& sink, const BatchOptions& options,
                      const Progress& progress = {});

}  // namespace kelmory::batch
