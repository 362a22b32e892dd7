#include "batch/batch_run.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "batch/cell_number.h"
#include "batch/table_cells.h"

namespace kelmory::batch {
namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kFlushAt = 1 << 16;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Lower(std::string_view text) {
  std::string lower(TrimBlanks(text));
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// Blanks belong to the cells: they are carried through as read.
int NoSpace(unsigned char) { return 0; }

// The first line's most frequent candidate outside quotes; "," when none.
char DetectDelimiter(std::string_view line) {
  std::size_t comma = 0, semicolon = 0, tab = 0;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    comma += c == ',';
    semicolon += c == ';';
    tab += c == '\t';
  }
  if (semicolon > comma && semicolon >= tab) return ';';
  if (tab > comma && tab > semicolon) return '\t';
  return ',';
}

// The header line at the start of the input: past empty lines, up to its
// first CR or LF outside quotes. Complete at its LF, or at a lone CR once the
// next byte is in: a CR at the end may yet be followed by the LF of CR LF.
struct HeaderLine {
  std::size_t begin = 0, end = 0;
  bool complete = false;
};
HeaderLine FindHeaderLine(std::string_view head) {
  HeaderLine line;
  while (line.begin < head.size() && (head[line.begin] == '\r' || head[line.begin] == '\n'))
    ++line.begin;
  bool quoted = false;
  for (line.end = line.begin; line.end < head.size(); ++line.end) {
    const char c = head[line.end];
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '\n' || c == '\r')) break;
  }
  line.complete = line.end < head.size() && (head[line.end] == '\n' || line.end + 1 < head.size());
  return line;
}

class Runner {
 public:
  Runner(const ByteSink& sink, const BatchOptions& options) : sink_(sink), options_(options) {
    column_.fill(-1);
    buffer_.resize(2 * kFlushAt);
    csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI);
    csv_set_space_func(&parser_, NoSpace);
  }
  ~Runner() { csv_free(&parser_); }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  BatchSummary Run(const ByteSource& source, const Progress& progress);

 private:
  static void OnField(void* data, std::size_t size, void* self) {
    static_cast<Runner*>(self)->Field(static_cast<const char*>(data), size);
  }
  static void OnRecord(int, void* self) { static_cast<Runner*>(self)->Record(); }

  void Field(const char* data, std::size_t size);
  void Record();
  void Header();
  void Row();
  void Start(std::string_view head);
  void Feed(std::string_view bytes);
  void Fail(std::string message);
  void FailAtLine(std::uint64_t line, std::string_view what);
  void Flush();

  // Output goes into buffer_ through w_, without a check per byte: Room
  // first makes space for the most the next writes can take.
  void Room(std::size_t bytes);
  void Done() { used_ = static_cast<std::size_t>(w_ - buffer_.data()); }
  void Put(std::string_view text) {
    if (text.empty()) return;  // an empty view may hold no pointer at all
    std::memcpy(w_, text.data(), text.size());
    w_ += text.size();
  }
  void PutField(std::string_view text);
  // Shortest text costs more than the rest of a row: values that recur
  // from row to row (the critical value, df) are written from a memo.
  void PutNumber(const std::optional<double>& value);
  void PutRepeated(const std::optional<double>& value);
  void Separator() { *w_++ = delimiter_; }
  static std::size_t FieldRoom(std::string_view text) { return 2 * text.size() + 3; }

  const ByteSink& sink_;
  const BatchOptions& options_;
  csv_parser parser_{};
  char delimiter_ = ',';
  RowSettings settings_;
  std::string_view line_end_ = "\n";
  std::array<bool, 256> special_{};
  CriticalValueCache cache_;

  // The cells of the record being read, back to back; ends_[i] is where
  // cell i ends.
  std::vector<char> cells_;
  std::size_t cells_used_ = 0;
  std::vector<std::size_t> ends_;
  std::string_view Cell(std::size_t i) const {
    const std::size_t begin = i ? ends_[i - 1] : 0;
    return {cells_.data() + begin, ends_[i] - begin};
  }
  std::size_t count_ = 0;
  std::vector<std::string_view> record_;
  bool header_done_ = false;
  std::size_t width_ = 0;
  std::array<int, kColumnCount> column_{};

  std::uint64_t line_ = 1, record_line_ = 1;
  bool awaiting_record_ = true;
  bool failed_ = false;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  char* w_ = nullptr;
  bool quote_numbers_ = false;
  struct NumberText {
    std::uint64_t bits = 0;
    std::uint8_t size = 0;      // 0: not yet written
    std::array<char, 64> text;  // room for a quoted number
  };
  static constexpr int kNumberMemoBits = 8;
  std::array<NumberText, std::size_t{1} << kNumberMemoBits> numbers_{};
  BatchSummary summary_;
};

void Runner::Fail(std::string message) {
  if (failed_) return;
  failed_ = true;
  summary_.status = 2;
  summary_.message = std::move(message);
}

void Runner::FailAtLine(std::uint64_t line, std::string_view what) {
  Fail("line " + std::to_string(line) + ": " + std::string(what));
}

void Runner::Flush() {
  if (used_ && !failed_ && !sink_(std::string_view(buffer_.data(), used_))) {
    Fail("cannot write the output");
  }
  used_ = 0;
}

void Runner::Room(std::size_t bytes) {
  if (used_ + bytes > buffer_.size()) {
    Flush();
    if (bytes > buffer_.size()) buffer_.resize(bytes);
  }
  w_ = buffer_.data() + used_;
}

void Runner::PutField(std::string_view text) {
  bool quote = false;
  for (const char c : text) quote |= special_[static_cast<unsigned char>(c)];
  if (!quote) return Put(text);
  *w_++ = '"';
  for (const char c : text) {
    if (c == '"') *w_++ = '"';
    *w_++ = c;
  }
  *w_++ = '"';
}

void Runner::PutNumber(const std::optional<double>& value) {
  if (!value) return;
  std::array<char, kNumberCellRoom> text;
  char* const first = quote_numbers_ ? text.data() : w_;
  char* const end = WriteNumberCell(first, *value, settings_.decimal);
  if (quote_numbers_) return PutField({first, static_cast<std::size_t>(end - first)});
  w_ = end;
}

void Runner::PutRepeated(const std::optional<double>& value) {
  if (!value) return;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(*value);
  NumberText& memo = numbers_[(bits * 0x9E3779B97F4A7C15ULL) >> (64 - kNumberMemoBits)];
  if (memo.size == 0 || memo.bits != bits) {
    char* const start = w_;
    PutNumber(value);
    memo.bits = bits;
    memo.size = static_cast<std::uint8_t>(w_ - start);
    std::memcpy(memo.text.data(), start, memo.size);
    return;
  }
  Put({memo.text.data(), memo.size});
}

void Runner::Field(const char* data, std::size_t size) {
  if (failed_) return;
  if (cells_used_ + size > cells_.size()) cells_.resize(2 * (cells_used_ + size));
  if (size) std::memcpy(cells_.data() + cells_used_, data, size);
  cells_used_ += size;
  if (count_ == ends_.size()) ends_.emplace_back();
  ends_[count_++] = cells_used_;
}

void Runner::Record() {
  if (!failed_ && options_.on_record) {
    record_.resize(count_);
    for (std::size_t i = 0; i < count_; ++i) record_[i] = Cell(i);
    options_.on_record(record_);
  }
  if (!failed_) {
    if (header_done_) {
      Row();
    } else {
      Header();
    }
  }
  count_ = 0;
  cells_used_ = 0;
  awaiting_record_ = true;
}

void Runner::Header() {
  header_done_ = true;
  width_ = count_;
  const auto added_columns = AddedColumns(options_.working);
  const std::size_t added = added_columns.size();
  for (std::size_t i = 0; i < count_; ++i) {
    const std::string name = Lower(Cell(i));
    for (int c = 0; c < kColumnCount; ++c) {
      if (name != kColumnNames[c]) continue;
      if (column_[c] != -1) {
        return FailAtLine(record_line_, "the header has two columns named '" +
                                            std::string(kColumnNames[c]) + "'");
      }
      column_[c] = static_cast<int>(i);
    }
    for (std::size_t a = 0; a < added; ++a) {
      if (name == added_columns[a]) {
        return FailAtLine(record_line_, "the input already has a column named '" +
                                            std::string(added_columns[a]) +
                                            "', which the program adds");
      }
    }
  }
  if (column_[kN] == -1) return FailAtLine(record_line_, "the header has no column named 'n'");

  std::size_t room = line_end_.size();
  for (std::size_t i = 0; i < count_; ++i) room += FieldRoom(Cell(i));
  for (const std::string_view name : kAddedColumns) room += name.size() + 1;
  Room(room);
  for (std::size_t i = 0; i < count_; ++i) {
    if (i) Separator();
    PutField(Cell(i));
  }
  for (std::size_t a = 0; a < added; ++a) {
    if (count_ || a) Separator();
    Put(added_columns[a]);
  }
  Put(line_end_);
  Done();
}

void Runner::Row() {
  ++summary_.rows;
  RowResult result;
  result.refusal = PastHeaderRefusal(count_, width_, [this](std::size_t i) { return Cell(i); });
  if (result.refusal.empty()) {
    RowCells cells;
    for (int c = 0; c < kColumnCount; ++c) {
      const int i = column_[c];
      if (i >= 0 && static_cast<std::size_t>(i) < count_) cells.text[c] = Cell(i);
    }
    result = ConvertRow(cells, settings_, cache_);
  }
  if (!result.refusal.empty()) ++summary_.refused;

  // A short row is filled out with empty cells so that the added columns
  // stay under their names.
  constexpr std::size_t kNumberRoom = 2 * 32 + 3;
  std::size_t room = width_ + 6 * kNumberRoom + 16 + line_end_.size() + FieldRoom(result.warning) +
                     FieldRoom(result.refusal) + FieldRoom(result.working);
  for (std::size_t i = 0; i < count_ && i < width_; ++i) room += FieldRoom(Cell(i));
  Room(room);
  for (std::size_t i = 0; i < width_; ++i) {
    if (i) Separator();
    if (i < count_) PutField(Cell(i));
  }
  if (width_) Separator();
  // The sd is one of sd_z and sd_t: its text is copied, not made again.
  const char* const sd_start = w_;
  PutNumber(result.sd);
  const std::string_view sd_text(sd_start, static_cast<std::size_t>(w_ - sd_start));
  const auto put_sd_or = [&](const std::optional<double>& value) {
    if (value && result.sd &&
        std::bit_cast<std::uint64_t>(*value) == std::bit_cast<std::uint64_t>(*result.sd)) {
      Put(sd_text);
    } else {
      PutNumber(value);
    }
  };
  Separator();
  Put(result.method);
  Separator();
  PutRepeated(result.critical_value);
  Separator();
  PutRepeated(result.df);
  Separator();
  put_sd_or(result.sd_z);
  Separator();
  put_sd_or(result.sd_t);
  Separator();
  PutNumber(result.z_t_gap_percent);
  Separator();
  PutField(result.warning);
  Separator();
  PutField(result.refusal);
  if (options_.working) {
    Separator();
    PutField(result.working);
  }
  Put(line_end_);
  Done();
  if (used_ >= kFlushAt) Flush();
}

void Runner::Start(std::string_view head) {
  const char* const start = head.data();
  if (head.substr(0, kBom.size()) == kBom) {
    Room(kBom.size());
    Put(kBom);
    Done();
    head.remove_prefix(kBom.size());
  }
  const HeaderLine line = FindHeaderLine(head);
  if (line.end + 1 < head.size() && head[line.end] == '\r' && head[line.end + 1] == '\n')
    line_end_ = "\r\n";
  delimiter_ =
      options_.delimiter.value_or(DetectDelimiter(head.substr(line.begin, line.end - line.begin)));
  settings_.method = options_.method;
  settings_.default_level = options_.level;
  settings_.decimal = options_.decimal.value_or(delimiter_ == ';' ? ',' : '.');
  settings_.working = options_.working;
  summary_.dialect = {delimiter_, settings_.decimal, line_end_, head.data() != start};
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter_));
  quote_numbers_ = settings_.decimal == delimiter_;
  // The bytes that make a cell need quotes.
  for (const char c : {delimiter_, '"', '\r', '\n'}) special_[static_cast<unsigned char>(c)] = true;
  Feed(head);
}

void Runner::Feed(std::string_view bytes) {
  // Line by line, so that a broken quote can be placed on its line.
  while (!bytes.empty() && !failed_) {
    const void* newline = std::memchr(bytes.data(), '\n', bytes.size());
    const std::size_t size =
        newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - bytes.data()) + 1
                : bytes.size();
    const std::string_view piece = bytes.substr(0, size);
    if (awaiting_record_ && piece.find_first_not_of("\r\n") != std::string_view::npos) {
      record_line_ = line_;
      awaiting_record_ = false;
    }
    const std::size_t parsed = csv_parse(&parser_, piece.data(), size, OnField, OnRecord, this);
    if (parsed != size && !failed_) {
      if (csv_error(&parser_) == CSV_EPARSE) {
        FailAtLine(line_,
                   "broken CSV: a quote inside an unquoted cell, or text after a closing quote");
      } else {
        FailAtLine(line_, csv_strerror(csv_error(&parser_)));
      }
    }
    if (newline) ++line_;
    bytes.remove_prefix(size);
  }
}

BatchSummary Runner::Run(const ByteSource& source, const Progress& progress) {
  std::vector<char> chunk(kChunk);
  std::uint64_t total = 0;
  auto read = [&]() -> std::ptrdiff_t {
    const std::ptrdiff_t got = source(chunk.data(), chunk.size());
    if (got < 0) {
      Fail("cannot read the input");
    } else if (got > 0) {
      total += static_cast<std::uint64_t>(got);
      if (progress) progress(total);
    }
    return got;
  };

  // The start of the input up to the header's line end tells the delimiter
  // and the line end; it is read whole before any row.
  std::string head;
  bool ended = false;
  for (;;) {
    const std::ptrdiff_t got = read();
    if (got <= 0) {
      ended = true;
      break;
    }
    head.append(chunk.data(), static_cast<std::size_t>(got));
    if (FindHeaderLine(head).complete) break;
  }
  if (failed_) return summary_;
  Start(head);
  head = std::string();

  while (!ended && !failed_) {
    const std::ptrdiff_t got = read();
    if (got <= 0) break;
    Feed(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  }
  if (!failed_ && csv_fini(&parser_, OnField, OnRecord, this) != 0 && !failed_) {
    FailAtLine(record_line_, "broken CSV: a quoted cell is not closed before the end of the input");
  }
  if (!failed_ && !header_done_) Fail("the input is empty: it has no header row");
  Flush();
  if (summary_.status != 2) summary_.status = summary_.refused ? 1 : 0;
  return summary_;
}

}  // namespace

BatchSummary RunBatch(const ByteSource& source, const ByteSink& sink, const BatchOptions& options,
                      const Progress& progress) {
  const auto runner = std::make_unique<Runner>(sink, options);
  return runner->Run(source, progress);
}

}  // namespace kelmory::batch
