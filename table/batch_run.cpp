#include "table/batch_run.h"

#include <csv.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/bit_cast.h"
#include "rows/cell_number.h"
#include "table/shortest_text.h"
#include "table/table_cells.h"
#include "table/table_columns.h"

namespace kelmory::batch {
namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kFlushAt = 1 << 16;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// Memory stays bounded whatever the input: a longer cell, header line or
// row ends the run.
constexpr std::size_t kMaxCell = std::size_t{1} << 20;
constexpr std::size_t kMaxHeaderLine = std::size_t{1} << 20;
constexpr std::size_t kMaxRow = std::size_t{2} << 20;
// The rows after the header that the decimal separator is found from.
constexpr std::size_t kLookAhead = std::size_t{1} << 16;

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

// UTF-16 (with its byte-order mark, as spreadsheets write it) or
// Windows-1252 to UTF-8, chunk by chunk: a character split between chunks
// waits for the next one.
class Decoder {
 public:
  explicit Decoder(const char* from) : cd_(::iconv_open("UTF-8", from)) {}
  ~Decoder() {
    if (cd_ != kNone) ::iconv_close(cd_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Replaces `out` with the UTF-8 of `bytes`; false on an invalid sequence.
  bool Decode(std::string_view bytes, std::string& out) {
    pending_.append(bytes);
    out.resize(2 * pending_.size() + 8);
    char* in = pending_.data();
    std::size_t in_left = pending_.size();
    char* to = out.data();
    std::size_t to_left = out.size();
    const bool ok = cd_ != kNone &&
                    (::iconv(cd_, &in, &in_left, &to, &to_left) != static_cast<std::size_t>(-1) ||
                     errno == EINVAL);
    out.resize(out.size() - to_left);
    pending_.erase(0, pending_.size() - in_left);
    return ok;
  }
  bool Finished() const { return pending_.empty(); }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_;
  std::string pending_;
};

// The length of the longest prefix of `bytes` that is whole UTF-8;
// `cut` when what follows it is a character's start cut off at the end.
std::size_t Utf8Prefix(std::string_view bytes, bool& cut) {
  cut = false;
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;   // no overlong forms
      if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return i;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k == n) {
        cut = true;
        return i;
      }
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (k == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) return i;
    }
    i += length;
  }
  return i;
}

// A cell as the look-ahead reads it: a number with '.' only, with ','
// only, or neither. A text with digits grouped by the other separator
// ("2.000" beside decimal commas) is evidence for neither.
enum class Reading { Point, Comma, Either };
Reading ReadingOf(std::string_view cell, bool percent) {
  using Kind = CellNumber::Kind;
  const bool point = ParseCellNumber(cell, '.', percent).kind == Kind::Number;
  const bool comma = ParseCellNumber(cell, ',', percent).kind == Kind::Number;
  if (point && !comma && !IsGrouped(cell, ',', percent)) return Reading::Point;
  if (comma && !point && !IsGrouped(cell, '.', percent)) return Reading::Comma;
  return Reading::Either;
}

// The records of `text` as CSV, one call each; a last record that no line
// end closes is left out unless `whole`.
void SplitRecords(std::string_view text, char delimiter, bool whole,
                  const std::function<void(const std::vector<std::string>&)>& each) {
  std::vector<std::string> record(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        record.back().push_back(c);
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        record.back().push_back('"');
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == delimiter) {
      record.emplace_back();
    } else if (c == '\r' || c == '\n') {
      if (record.size() > 1 || !record.front().empty()) each(record);
      record.assign(1, std::string());
    } else {
      record.back().push_back(c);
    }
  }
  if (whole && !quoted && (record.size() > 1 || !record.front().empty())) each(record);
}

// The decimal separator the number cells of the first rows read with,
// where they read only one way; nothing where some read only with '.' and
// others only with ',', or all read both ways.
std::optional<char> GuessDecimal(std::string_view text, char delimiter, bool whole) {
  TableColumns columns;
  std::vector<std::pair<std::size_t, bool>> numbers;  // a number column, and whether a level
  std::size_t points = 0, commas = 0;
  bool header = true;
  SplitRecords(text, delimiter, whole, [&](const std::vector<std::string>& record) {
    if (header) {
      header = false;
      columns = ReadTableColumns({record.begin(), record.end()});
      const auto add = [&](int i, bool percent) {
        if (i >= 0) numbers.emplace_back(static_cast<std::size_t>(i), percent);
      };
      for (int c = 0; c < kColumnCount; ++c) add(columns.index[c], c == kLevel);
      for (const SubgroupColumns& subgroup : columns.subgroups) {
        for (const int i : subgroup.index) add(i, false);
      }
      add(columns.sd, false);
      for (const ArmColumns& arm : columns.arms) {
        for (int c = 0; c < kColumnCount; ++c) add(arm.index[c], c == kLevel);
        add(arm.sd, false);
      }
      return;
    }
    for (const auto& [i, percent] : numbers) {
      if (i >= record.size() || IsEmptyCell(record[i])) continue;
      const Reading reading = ReadingOf(record[i], percent);
      points += reading == Reading::Point;
      commas += reading == Reading::Comma;
    }
  });
  if (points && !commas) return '.';
  if (commas && !points) return ',';
  return std::nullopt;
}

bool IsUtf16Bom(std::string_view head) {
  return head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF");
}

// Excel's first line "sep=;" names the delimiter. Its length with the line
// end, or 0 when the text does not start with one.
std::size_t SepLine(std::string_view head) {
  if (head.size() < 6 || Lower(head.substr(0, 4)) != "sep=") return 0;
  const char d = head[4];
  if (d == '"' || d == '\r' || d == '\n') return 0;
  if (head[5] == '\n') return 6;
  if (head[5] != '\r') return 0;
  return head.size() > 6 && head[6] == '\n' ? 7 : 6;
}

class Runner {
 public:
  Runner(const ByteSink& sink, const BatchOptions& options) : sink_(sink), options_(options) {
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
  // A table of arms: each arm's block of results after the user's columns.
  void ArmsRow();
  // The cells past the header, carried as they were, and the line end.
  void EndRow();
  void PutHeader();
  void Start(std::string_view head, std::size_t header_end, bool whole);
  std::size_t ReadHead(std::string& head, const std::function<std::string_view()>& next,
                       bool& ended);
  void Feed(std::string_view bytes);
  // A whole line without quotes or stray line-end bytes, at the start of a
  // record, is split here rather than byte by byte in libcsv.
  bool FastLine(std::string_view line);
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
  void PutField(std::string_view text, bool quote = false);
  void AppendExtra(std::string_view text);
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
  char eol_ = '\n';  // the byte that ends a line: CR in files with CR-only line ends
  bool bom_ = false;
  std::optional<char> sep_line_;
  std::array<bool, 256> special_{};
  CriticalValueCache cache_;

  // The cells of the record being read, back to back; ends_[i] is where
  // cell i ends. Cells past the header go to extra_ as output text.
  std::vector<char> cells_;
  std::size_t cells_used_ = 0;
  std::vector<std::uint32_t> ends_;
  std::string extra_;
  std::vector<std::string_view> record_;
  std::vector<std::string> record_extra_;
  std::size_t extra_filled_ = 0, extra_count_ = 0, row_bytes_ = 0;
  std::string_view Cell(std::size_t i) const {
    const std::size_t begin = i ? ends_[i - 1] : 0;
    return {cells_.data() + begin, ends_[i] - begin};
  }
  std::size_t count_ = 0;
  bool header_done_ = false;
  std::size_t width_ = 0;
  TableColumns columns_;
  std::vector<ResultColumn> added_;
  bool sd_in_block_ = true, estimated_in_block_ = false, rewrite_ = false;
  std::vector<std::string_view> row_view_;  // the cells of the row, reused
  RowCells row_cells_;
  std::vector<TableRow> arm_rows_;

  std::uint64_t line_ = 1, record_line_ = 1;
  bool awaiting_record_ = true;
  bool failed_ = false;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  char* w_ = nullptr;
  bool quote_numbers_ = false;
  std::string_view plain_line_;  // the line FastLine is splitting, without its end
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

void Runner::PutField(std::string_view text, bool quote) {
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
  std::array<char, kShortestTextRoom> text;
  char* const first = quote_numbers_ ? text.data() : w_;
  char* const last = WriteShortest(first, *value);
  if (settings_.decimal != '.') std::replace(first, last, '.', settings_.decimal);
  if (quote_numbers_) return PutField({first, static_cast<std::size_t>(last - first)});
  w_ = last;
}

void Runner::PutRepeated(const std::optional<double>& value) {
  if (!value) return;
  const std::uint64_t bits = BitCast<std::uint64_t>(*value);
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

void Runner::AppendExtra(std::string_view text) {
  bool quote = false;
  for (const char c : text) quote |= special_[static_cast<unsigned char>(c)];
  extra_.push_back(delimiter_);
  if (!quote) {
    extra_.append(text);
    return;
  }
  extra_.push_back('"');
  for (const char c : text) {
    if (c == '"') extra_.push_back('"');
    extra_.push_back(c);
  }
  extra_.push_back('"');
}

void Runner::Field(const char* data, std::size_t size) {
  if (failed_) return;
  row_bytes_ += size + 1;
  if (size > kMaxCell) return FailAtLine(record_line_, "a cell is longer than 1 MiB");
  if (row_bytes_ > kMaxRow) return FailAtLine(record_line_, "the row is longer than 2 MiB");
  if (header_done_ && count_ >= width_) {
    ++extra_count_;
    if (!IsEmptyCell({data, size})) ++extra_filled_;
    if (options_.on_record) record_extra_.emplace_back(data, size);
    return AppendExtra({data, size});
  }
  if (cells_used_ + size > cells_.size())
    cells_.resize(std::min(2 * (cells_used_ + size), kMaxRow + kMaxCell));
  if (size) std::memcpy(cells_.data() + cells_used_, data, size);
  cells_used_ += size;
  if (count_ == ends_.size()) ends_.emplace_back();
  ends_[count_++] = static_cast<std::uint32_t>(cells_used_);
}

void Runner::Record() {
  if (!failed_ && options_.on_record) {
    record_.resize(count_);
    for (std::size_t i = 0; i < count_; ++i) record_[i] = Cell(i);
    for (const std::string& cell : record_extra_) record_.push_back(cell);
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
  extra_.clear();
  record_extra_.clear();
  extra_filled_ = extra_count_ = row_bytes_ = 0;
  awaiting_record_ = true;
}

void Runner::Header() {
  header_done_ = true;
  width_ = count_;
  for (std::size_t i = 0; i < count_; ++i) row_view_.push_back(Cell(i));
  columns_ = ReadTableColumns(row_view_);
  if (!columns_.problem.empty()) return FailAtLine(record_line_, columns_.problem);
  AddSkewedColumns(columns_, options_.median);
  added_ = ResultColumns(columns_, row_view_, options_.working);
  sd_in_block_ = columns_.sd == -1;
  estimated_in_block_ = columns_.extended && !columns_.fill_mean;
  // An earlier block is left out and the user's sd and mean cells may be
  // filled: such rows are written cell by cell.
  rewrite_ = columns_.width < width_ || columns_.sd != -1;
  PutHeader();
}

void Runner::PutHeader() {
  // Only a byte-order mark at the start of the input is one; a first name
  // that starts with one, after empty lines, is quoted so that no reader
  // takes it for the output's own.
  const bool output_starts_here = !bom_ && !sep_line_;
  for (std::size_t i = 0; i < columns_.width; ++i) {
    Room(FieldRoom(Cell(i)) + 1);
    if (i) Separator();
    PutField(Cell(i), i == 0 && output_starts_here && Cell(0).starts_with(kBom));
    Done();
  }
  std::size_t room = line_end_.size();
  for (const ResultColumn& column : added_) room += FieldRoom(column.heading) + 1;
  Room(room);
  for (std::size_t a = 0; a < added_.size(); ++a) {
    if (columns_.width || a) Separator();
    PutField(added_[a].heading);
  }
  Put(line_end_);
  Done();
}

void Runner::Row() {
  ++summary_.rows;
  if (!columns_.arms.empty()) return ArmsRow();
  TableRow row;
  RowResult& result = row.result;
  const std::size_t own = std::min(count_, columns_.width);
  bool blank = extra_filled_ == 0;
  for (std::size_t i = 0; i < own && blank; ++i) blank = IsEmptyCell(Cell(i));
  if (blank) {
    // ",,,," as spreadsheets write empty rows: neither converted nor refused.
  } else if (extra_filled_) {
    result.refusal = PastHeaderRefusal(extra_filled_);
  } else {
    row_view_.clear();
    for (std::size_t i = 0; i < count_; ++i) row_view_.push_back(Cell(i));
    row = ConvertTableRow(columns_, row_view_, settings_, cache_, row_cells_);
  }
  if (!result.refusal.empty()) ++summary_.refused;
  // r of +-1 has no Fisher's z; such a row still counts in the mean as the
  // bound it is, through a z clamped just inside it.
  if (result.corr_estimated) {
    ++summary_.correlations;
    summary_.fisher_z_sum += std::atanh(std::clamp(*result.corr_estimated, -1 + 1e-12, 1 - 1e-12));
  }

  // A short row is filled out with empty cells so that the added columns
  // stay under their names; cells past the header follow them.
  constexpr std::size_t kNumberRoom = 2 * 32 + 3;
  if (rewrite_) {
    const int mean = columns_.fill_mean ? columns_.index[kMean] : -1;
    for (std::size_t i = 0; i < columns_.width; ++i) {
      Room(kNumberRoom + 1 + (i < count_ ? FieldRoom(Cell(i)) : 0));
      if (i) Separator();
      if (static_cast<int>(i) == columns_.sd && row.sd_from_result) {
        PutNumber(result.sd);
      } else if (static_cast<int>(i) == mean && row.mean_from_result) {
        PutNumber(result.estimated_mean);
      } else if (i < count_) {
        PutField(Cell(i));
      }
      Done();
    }
  } else if (count_ * 3 + cells_used_ * 2 > kFlushAt) {
    for (std::size_t i = 0; i < count_; ++i) {
      Room(FieldRoom(Cell(i)) + 1);
      if (i) Separator();
      PutField(Cell(i));
      Done();
    }
    Room(width_);
    for (std::size_t i = std::max<std::size_t>(count_, 1); i < width_; ++i) Separator();
  } else if (!plain_line_.empty() && count_ == width_ && extra_.empty()) {
    // A line of as many cells as the header, none of which needs quotes:
    // its cells and delimiters are the line itself.
    Room(plain_line_.size());
    Put(plain_line_);
  } else {
    std::size_t room = width_;
    for (std::size_t i = 0; i < count_; ++i) room += FieldRoom(Cell(i));
    Room(room);
    for (std::size_t i = 0; i < width_; ++i) {
      if (i) Separator();
      if (i < count_) PutField(Cell(i));
    }
  }
  Done();
  Room((8 + columns_.figures.size()) * kNumberRoom + 16 + line_end_.size() +
       FieldRoom(result.skewed_method) + FieldRoom(result.method) + FieldRoom(result.warning) +
       FieldRoom(result.refusal) + FieldRoom(result.working));
  Separator();
  // The sd is one of sd_z and sd_t: its text is copied, not made again.
  const char* const sd_start = w_;
  if (sd_in_block_) {
    PutNumber(result.sd);
    Separator();
  }
  const std::string_view sd_text(sd_start,
                                 static_cast<std::size_t>(w_ - sd_start) - (sd_in_block_ ? 1 : 0));
  if (estimated_in_block_) {
    PutNumber(result.estimated_mean);
    Separator();
  }
  if (columns_.extended) {
    PutNumber(result.total_n);
    Separator();
  }
  for (const std::string_view figure : columns_.figures) {
    if (figure == "skewed_method") {
      PutField(result.skewed_method);
    } else {
      PutNumber(ResultNumber(result, figure));
    }
    Separator();
  }
  const auto put_sd_or = [&](const std::optional<double>& value) {
    if (sd_in_block_ && value && result.sd &&
        BitCast<std::uint64_t>(*value) == BitCast<std::uint64_t>(*result.sd)) {
      Put(sd_text);
    } else {
      PutNumber(value);
    }
  };
  PutField(result.method);
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
  Done();
  EndRow();
}

void Runner::ArmsRow() {
  const std::size_t own = std::min(count_, columns_.width);
  bool blank = extra_filled_ == 0;
  for (std::size_t i = 0; i < own && blank; ++i) blank = IsEmptyCell(Cell(i));
  if (blank || extra_filled_) {
    // The row's own refusal is every arm's.
    arm_rows_.assign(columns_.arms.size(), {});
    for (TableRow& arm : arm_rows_) arm.result.refusal = PastHeaderRefusal(extra_filled_);
  } else {
    row_view_.clear();
    for (std::size_t i = 0; i < count_; ++i) row_view_.push_back(Cell(i));
    ConvertArmsRow(columns_, row_view_, settings_, cache_, row_cells_, arm_rows_);
  }
  if (std::any_of(arm_rows_.begin(), arm_rows_.end(),
                  [](const TableRow& arm) { return !arm.result.refusal.empty(); }))
    ++summary_.refused;

  constexpr std::size_t kNumberRoom = 2 * 32 + 3;
  for (std::size_t i = 0; i < columns_.width; ++i) {
    Room(kNumberRoom + 1 + (i < count_ ? FieldRoom(Cell(i)) : 0));
    if (i) Separator();
    bool written = false;
    for (std::size_t a = 0; a < columns_.arms.size() && !written; ++a) {
      const ArmColumns& arm = columns_.arms[a];
      const TableRow& row = arm_rows_[a];
      if (static_cast<int>(i) == arm.sd && row.sd_from_result) {
        PutNumber(row.result.sd);
        written = true;
      } else if (arm.fill_mean && static_cast<int>(i) == arm.index[kMean] && row.mean_from_result) {
        PutNumber(row.result.estimated_mean);
        written = true;
      }
    }
    if (!written && i < count_) PutField(Cell(i));
    Done();
  }
  std::string text;
  for (const ResultColumn& column : added_) {
    text = ResultCell(arm_rows_[static_cast<std::size_t>(column.arm)].result, column.name,
                      settings_.decimal);
    Room(FieldRoom(text) + 1);
    if (columns_.width || &column != &added_.front()) Separator();
    PutField(text);
    Done();
  }
  EndRow();
}

void Runner::EndRow() {
  if (!extra_.empty()) {
    for (std::string_view rest = extra_; !rest.empty();) {
      const std::string_view piece = rest.substr(0, kFlushAt);
      Room(piece.size());
      Put(piece);
      Done();
      rest.remove_prefix(piece.size());
    }
  }
  Room(line_end_.size());
  Put(line_end_);
  Done();
  if (used_ >= kFlushAt) Flush();
}

void Runner::Start(std::string_view head, std::size_t header_end, bool whole) {
  if (header_end < head.size() && head[header_end] == '\r') {
    const bool crlf = header_end + 1 < head.size() && head[header_end + 1] == '\n';
    line_end_ = crlf ? "\r\n" : "\r";
    if (!crlf) eol_ = '\r';
  }
  delimiter_ =
      options_.delimiter.value_or(sep_line_.value_or(DetectDelimiter(head.substr(0, header_end))));
  settings_.method = options_.method;
  settings_.default_level = options_.level;
  const std::optional<char> found =
      options_.decimal ? std::nullopt : GuessDecimal(head, delimiter_, whole);
  settings_.decimal = options_.decimal.value_or(found.value_or(delimiter_ == ';' ? ',' : '.'));
  settings_.working = options_.working;
  settings_.median = options_.median;
  settings_.corr = options_.corr;
  settings_.imputed_corr = options_.imputed_corr;
  settings_.corr_rows = options_.corr_rows;
  summary_.dialect = {delimiter_, settings_.decimal,     line_end_,
                      bom_,       sep_line_.has_value(), found.has_value()};
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter_));
  quote_numbers_ = settings_.decimal == delimiter_;
  // The bytes that make a cell need quotes.
  for (const char c : {delimiter_, '"', '\r', '\n'}) special_[static_cast<unsigned char>(c)] = true;

  Room(kBom.size() + 5 + line_end_.size());
  if (bom_) Put(kBom);
  if (sep_line_) {
    Put("sep=");
    *w_++ = delimiter_;
    Put(line_end_);
  }
  Done();
  Feed(head);
}

void Runner::Feed(std::string_view bytes) {
  // Line by line, so that a broken quote can be placed on its line.
  while (!bytes.empty() && !failed_) {
    const void* newline = std::memchr(bytes.data(), eol_, bytes.size());
    const std::size_t size =
        newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - bytes.data()) + 1
                : bytes.size();
    const std::string_view piece = bytes.substr(0, size);
    // libcsv's state 0 (ROW_NOT_BEGUN): no record of its own under way.
    if (newline && parser_.pstate == 0 && FastLine(piece)) {
      ++line_;
      bytes.remove_prefix(size);
      continue;
    }
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
    // libcsv holds the cell being read until it ends.
    if (parser_.entry_pos > kMaxCell) FailAtLine(record_line_, "a cell is longer than 1 MiB");
    if (newline) ++line_;
    bytes.remove_prefix(size);
  }
}

bool Runner::FastLine(std::string_view line) {
  // The line end: the eol byte, and in CR LF files the CR before it.
  line.remove_suffix(1);
  if (eol_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  const char other = eol_ == '\n' ? '\r' : '\n';
  if (std::memchr(line.data(), '"', line.size()) || std::memchr(line.data(), other, line.size()))
    return false;
  if (line.empty()) return true;  // an empty line holds no record
  const std::string_view whole = line;
  record_line_ = line_;
  for (;;) {
    const void* found = std::memchr(line.data(), delimiter_, line.size());
    const std::size_t size =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) - line.data())
              : line.size();
    Field(line.data(), size);
    if (!found) break;
    line.remove_prefix(size + 1);
  }
  plain_line_ = whole;
  Record();
  plain_line_ = {};
  return true;
}

// Reads the start of the input up to the header's line end, past a
// byte-order mark, a "sep=" line and empty lines, which it counts. Returns
// where the header line ends in `head`, which then starts with it.
std::size_t Runner::ReadHead(std::string& head, const std::function<std::string_view()>& next,
                             bool& ended) {
  const auto more = [&] {
    const std::string_view got = next();
    head.append(got);
    return !got.empty();
  };
  while (head.size() < 7 && !ended && more()) {
  }
  if (head.starts_with(kBom)) {
    bom_ = true;
    head.erase(0, kBom.size());
    while (head.size() < 7 && !ended && more()) {
    }
  }
  if (const std::size_t sep = SepLine(head)) {
    sep_line_ = head[4];
    head.erase(0, sep);
    ++line_;
  }

  // One pass over the bytes, whatever the chunks: the empty lines before
  // the header are dropped as they are counted.
  std::size_t pos = 0, begin = 0, skipped = 0;
  bool started = false, quoted = false, pending_cr = false;
  for (;;) {
    for (; pos < head.size(); ++pos) {
      const char c = head[pos];
      if (!started) {
        if (++skipped > kMaxHeaderLine) {
          FailAtLine(line_, "no header line in the first 1 MiB, only empty lines");
          return 0;
        }
        if (pending_cr) {
          pending_cr = false;
          ++line_;
          if (c == '\n') continue;
        }
        if (c == '\n') {
          ++line_;
          continue;
        }
        if (c == '\r') {
          pending_cr = true;
          continue;
        }
        started = true;
        begin = pos;
      }
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == '\n' || c == '\r')) {
        // A CR is complete once the next byte tells CR LF from CR.
        if (c == '\n' || pos + 1 < head.size() || ended) {
          head.erase(0, begin);
          return pos - begin;
        }
        break;
      }
    }
    if (started && pos - begin > kMaxHeaderLine) {
      FailAtLine(line_, "the header line is longer than 1 MiB");
      return 0;
    }
    if (!started) {
      head.clear();
      pos = 0;
    }
    if (ended || failed_ || !more()) {
      if (failed_) return 0;
      if (pending_cr) ++line_;
      head.erase(0, started ? begin : head.size());
      return head.size();
    }
  }
}

BatchSummary Runner::Run(const ByteSource& source, const Progress& progress) {
  std::vector<char> chunk(kChunk);
  std::uint64_t total = 0;
  bool ended = false;
  std::optional<Decoder> decoder;  // UTF-16 or Windows-1252 to UTF-8
  bool utf16 = false, beyond_ascii = false;
  std::string decoded, joined, carry;
  const auto text_only = [&](std::string_view text) -> std::string_view {
    if (text.empty() || !std::memchr(text.data(), '\0', text.size())) return text;
    Fail("the input is not a text file: it holds NUL bytes");
    return {};
  };
  const auto has_high = [](std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  };
  // Raw bytes as UTF-8, `last` at the input's end. They are kept as they
  // are while they are UTF-8; from the first byte that is not, the input
  // is read as Windows-1252, unless UTF-8 beyond ASCII came before it.
  std::function<std::string_view(std::string_view, bool)> convert =
      [&](std::string_view bytes, bool last) -> std::string_view {
    if (decoder) {
      if (!decoder->Decode(bytes, decoded)) {
        Fail(utf16 ? "the input is not valid UTF-16"
                   : "the input is neither UTF-8 nor Windows-1252");
        return {};
      }
      if (last && !decoder->Finished()) {
        Fail("the input ends inside a UTF-16 character");
        return {};
      }
      return text_only(decoded);
    }
    std::string_view in = bytes;
    if (!carry.empty()) {
      joined = std::move(carry);
      carry.clear();
      joined.append(bytes);
      in = joined;
    }
    bool cut = false;
    const std::size_t valid = Utf8Prefix(in, cut);
    if (valid == in.size() || (cut && !last)) {
      beyond_ascii = beyond_ascii || has_high(in.substr(0, valid));
      carry.assign(in.substr(valid));
      return text_only(in.substr(0, valid));
    }
    if (beyond_ascii || has_high(in.substr(0, valid))) {
      Fail("the input is not valid UTF-8: it mixes UTF-8 with another encoding");
      return {};
    }
    decoder.emplace("WINDOWS-1252");
    summary_.encoding = "Windows-1252";
    const std::string raw(in);
    return convert(raw, last);
  };
  // The next piece of the input as UTF-8; empty at its end or on a failure.
  const std::function<std::string_view()> next = [&]() -> std::string_view {
    while (!ended && !failed_) {
      const std::ptrdiff_t got = source(chunk.data(), chunk.size());
      if (got <= 0) {
        ended = true;
        if (got < 0) {
          Fail("cannot read the input");
          break;
        }
        return convert({}, true);
      }
      total += static_cast<std::uint64_t>(got);
      if (progress) progress(total);
      const std::string_view piece =
          convert(std::string_view(chunk.data(), static_cast<std::size_t>(got)), false);
      if (!piece.empty()) return piece;
    }
    return {};
  };

  // The encoding, from the first bytes: UTF-16 with a byte-order mark is
  // read as UTF-8 and written as UTF-8 with one.
  std::string head;
  while (head.size() < 2 && !ended) {
    const std::ptrdiff_t got = source(chunk.data(), chunk.size());
    if (got < 0) Fail("cannot read the input");
    if (got <= 0) {
      ended = true;
      break;
    }
    total += static_cast<std::uint64_t>(got);
    if (progress) progress(total);
    head.append(chunk.data(), static_cast<std::size_t>(got));
  }
  if (IsUtf16Bom(head)) {
    decoder.emplace("UTF-16");
    utf16 = true;
    bom_ = true;
    summary_.encoding = "UTF-16";
  }
  if (!failed_) head = std::string(convert(std::string(head), ended));
  if (failed_) return summary_;

  const std::size_t header_end = ReadHead(head, next, ended);
  // The first rows, for the decimal separator; memory stays bounded.
  while (!failed_ && !ended && head.size() < header_end + kLookAhead) {
    const std::string_view piece = next();
    if (piece.empty()) break;
    head.append(piece);
  }
  if (failed_) return summary_;
  Start(head, header_end, ended);
  head = std::string();

  while (!ended && !failed_) {
    const std::string_view piece = next();
    if (piece.empty()) break;
    Feed(piece);
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

std::optional<double> MeanCorrelation(const BatchSummary& summary) {
  if (summary.correlations == 0) return std::nullopt;
  return std::tanh(summary.fisher_z_sum / static_cast<double>(summary.correlations));
}

BatchSummary RunBatch(const ByteSource& source, const ByteSink& sink, const BatchOptions& options,
                      const Progress& progress) {
  const auto runner = std::make_unique<Runner>(sink, options);
  return runner->Run(source, progress);
}

}  // namespace kelmory::batch
