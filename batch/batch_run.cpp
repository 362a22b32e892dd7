#include "batch/batch_run.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "batch/cell_number.h"

namespace kelmory::batch {
namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kFlushAt = 1 << 16;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Lower(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::string lower(text);
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

class Runner {
 public:
  Runner(const ByteSink& sink, const BatchOptions& options) : sink_(sink), options_(options) {
    column_.fill(-1);
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

  void AppendField(std::string_view text);
  void AppendNumber(const std::optional<double>& value);
  void Separator() { out_.push_back(delimiter_); }

  const ByteSink& sink_;
  const BatchOptions& options_;
  csv_parser parser_{};
  char delimiter_ = ',';
  RowSettings settings_;
  std::string_view line_end_ = "\n";
  CriticalValueCache cache_;

  std::vector<std::string> fields_;
  std::size_t count_ = 0;
  bool header_done_ = false;
  std::size_t width_ = 0;
  std::array<int, kColumnCount> column_{};

  std::uint64_t line_ = 1, record_line_ = 1;
  bool awaiting_record_ = true;
  bool failed_ = false;
  std::string out_;
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
  if (!out_.empty() && !failed_ && !sink_(out_)) Fail("cannot write the output");
  out_.clear();
}

void Runner::AppendField(std::string_view text) {
  const bool quote = std::any_of(text.begin(), text.end(), [this](char c) {
    return c == delimiter_ || c == '"' || c == '\r' || c == '\n';
  });
  if (!quote) {
    out_.append(text);
    return;
  }
  out_.push_back('"');
  for (const char c : text) {
    if (c == '"') out_.push_back('"');
    out_.push_back(c);
  }
  out_.push_back('"');
}

void Runner::AppendNumber(const std::optional<double>& value) {
  if (!value) return;
  std::array<char, 32> buf;
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), *value);
  std::replace(buf.data(), res.ptr, '.', settings_.decimal);
  AppendField(std::string_view(buf.data(), static_cast<std::size_t>(res.ptr - buf.data())));
}

void Runner::Field(const char* data, std::size_t size) {
  if (failed_) return;
  if (count_ == fields_.size()) fields_.emplace_back();
  fields_[count_++].assign(data, size);
}

void Runner::Record() {
  if (!failed_) {
    if (header_done_) {
      Row();
    } else {
      Header();
    }
  }
  count_ = 0;
  awaiting_record_ = true;
}

void Runner::Header() {
  header_done_ = true;
  width_ = count_;
  const std::size_t added = options_.working ? kAddedColumns.size() : kAddedColumns.size() - 1;
  for (std::size_t i = 0; i < count_; ++i) {
    const std::string name = Lower(fields_[i]);
    for (int c = 0; c < kColumnCount; ++c) {
      if (name != kColumnNames[c]) continue;
      if (column_[c] != -1) {
        return FailAtLine(record_line_, "the header has two columns named '" +
                                            std::string(kColumnNames[c]) + "'");
      }
      column_[c] = static_cast<int>(i);
    }
    for (std::size_t a = 0; a < added; ++a) {
      if (name == kAddedColumns[a]) {
        return FailAtLine(record_line_, "the input already has a column named '" +
                                            std::string(kAddedColumns[a]) +
                                            "', which the program adds");
      }
    }
  }
  if (column_[kN] == -1) return FailAtLine(record_line_, "the header has no column named 'n'");

  for (std::size_t i = 0; i < count_; ++i) {
    if (i) Separator();
    AppendField(fields_[i]);
  }
  for (std::size_t a = 0; a < added; ++a) {
    if (count_ || a) Separator();
    out_.append(kAddedColumns[a]);
  }
  out_.append(line_end_);
}

void Runner::Row() {
  ++summary_.rows;
  std::string extra;
  for (std::size_t i = width_; i < count_; ++i) {
    if (IsEmptyCell(fields_[i])) continue;
    if (!extra.empty()) extra.append(", ");
    extra.append("'" + fields_[i] + "'");
  }

  RowResult result;
  if (!extra.empty()) {
    result.refusal = "the row has " + std::to_string(count_) + " cells, the header " +
                     std::to_string(width_) + "; past the header: " + extra;
  } else {
    RowCells cells;
    for (int c = 0; c < kColumnCount; ++c) {
      const int i = column_[c];
      if (i >= 0 && static_cast<std::size_t>(i) < count_) cells.text[c] = fields_[i];
    }
    result = ConvertRow(cells, settings_, cache_);
  }
  if (!result.refusal.empty()) ++summary_.refused;

  // A short row is filled out with empty cells so that the added columns
  // stay under their names.
  for (std::size_t i = 0; i < width_; ++i) {
    if (i) Separator();
    if (i < count_) AppendField(fields_[i]);
  }
  if (width_) Separator();
  AppendNumber(result.sd);
  Separator();
  out_.append(result.method);
  Separator();
  AppendNumber(result.critical_value);
  Separator();
  AppendNumber(result.df);
  Separator();
  AppendNumber(result.sd_z);
  Separator();
  AppendNumber(result.sd_t);
  Separator();
  AppendNumber(result.z_t_gap_percent);
  Separator();
  AppendField(result.warning);
  Separator();
  AppendField(result.refusal);
  if (options_.working) {
    Separator();
    AppendField(result.working);
  }
  out_.append(line_end_);
  if (out_.size() >= kFlushAt) Flush();
}

void Runner::Start(std::string_view head) {
  if (head.substr(0, kBom.size()) == kBom) {
    out_.append(kBom);
    head.remove_prefix(kBom.size());
  }
  // The header line: past leading empty lines, up to its line end.
  std::size_t begin = 0;
  while (begin < head.size() && (head[begin] == '\r' || head[begin] == '\n')) ++begin;
  std::size_t end = begin;
  bool quoted = false;
  for (; end < head.size(); ++end) {
    if (head[end] == '"') quoted = !quoted;
    if (!quoted && (head[end] == '\n' || head[end] == '\r')) break;
  }
  if (end + 1 < head.size() && head[end] == '\r' && head[end + 1] == '\n') line_end_ = "\r\n";
  delimiter_ = options_.delimiter.value_or(DetectDelimiter(head.substr(begin, end - begin)));
  settings_.method = options_.method;
  settings_.default_level = options_.level;
  settings_.decimal = options_.decimal.value_or(delimiter_ == ';' ? ',' : '.');
  settings_.working = options_.working;
  csv_set_delim(&parser_, static_cast<unsigned char>(delimiter_));
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
    // Complete at its LF, or at a lone CR once the next byte is in: a CR
    // at the end of a chunk may yet be followed by the LF of CR LF.
    bool quoted = false, seen_text = false, complete = false;
    for (std::size_t i = 0; i < head.size() && !complete; ++i) {
      const char c = head[i];
      if (c == '"') quoted = !quoted;
      if (quoted || (c != '\n' && c != '\r')) {
        seen_text = true;
      } else if (seen_text) {
        complete = c == '\n' || (i + 1 < head.size() && head[i + 1] != '\n');
      }
    }
    if (complete) break;
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
