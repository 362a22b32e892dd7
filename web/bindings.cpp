// web/: the page, a static site whose calculations all run here, in C++
// built for WebAssembly (embind). The table of studies is table/'s
// StudyTable, the one the review window edits, with the page's undo and redo
// over its steps; the calculator is the main window's SdDeriver and the
// t-table its critical values. web/src shows them; nothing else is shared
// with the windows' Qt code.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "engine/critical_values.h"
#include "engine/sd_deriver.h"
#include "rows/cell_number.h"
#include "table/study_table.h"
#include "table/table_cells.h"

namespace {

using emscripten::val;
using kelmory::table::Outcome;
using kelmory::table::Step;
using kelmory::table::StudyTable;

std::string BlockMessage(const kelmory::table::BlockError& error) {
  using Kind = kelmory::table::BlockError::Kind;
  const std::string where =
      "row " + std::to_string(error.row) + ", column " + std::to_string(error.column);
  switch (error.kind) {
    case Kind::LongCell:
      return "The pasted cell at " + where + " is longer than 1 MiB";
    case Kind::LongRow:
      return "The pasted row " + std::to_string(error.row) + " is longer than 2 MiB";
    case Kind::OpenQuote:
      return "The quote opening the pasted cell at " + where + " is never closed";
  }
  return {};
}

// The page's table: the shared table of studies, each edit a step on the
// page's own undo stack. Columns count the table's columns, inputs and
// added ones as the table orders them.
class WebTable {
 public:
  explicit WebTable(char user) : table_(user) {}
  StudyTable& table() { return table_; }
  const StudyTable& table() const { return table_; }

  // A file read, or an empty table, is a table of its own: no undo steps.
  Outcome Open(const std::string& bytes) {
    Outcome outcome = table_.Open(bytes);
    if (outcome.ok) Forget();
    return outcome;
  }
  void Clear() {
    table_.Reset(StudyTable::NewHeader(), {}, StudyTable::NewDialect(table_.user()));
    Forget();
  }

  Outcome Paste(const std::string& text, int top, int left) {
    auto parsed = kelmory::table::ParseTabBlock(text);
    if (const auto* error = std::get_if<kelmory::table::BlockError>(&parsed))
      return {false, BlockMessage(*error)};
    auto& block = std::get<std::vector<kelmory::table::PackedCells>>(parsed);
    if (block.empty()) return {};
    // A block without header goes from the input cell nearest `left`.
    left = std::clamp(left, 0, std::max(table_.columns() - 1, 0));
    int input = table_.InputOf(left);
    for (int c = left; input < 0 && c >= 0; --c) input = table_.InputOf(c);
    // A table emptied of its rows takes a pasted table's dialect afresh.
    Push(table_.PasteStep(std::move(block), top, std::max(input, 0), {},
                          kelmory::table::PasteDialect::Fresh));
    return {};
  }
  void SetCell(int row, int column, const std::string& text) {
    // Blanks typed after the last row add no study.
    if (row == table_.storedRows() && kelmory::batch::IsEmptyCell(text)) return;
    Push(table_.EditStep(row, table_.InputOf(column), text));
  }
  void ClearCells(int top, int left, int bottom, int right) {
    std::vector<kelmory::table::InputCell> cells;
    top = std::max(top, 0);
    bottom = std::min(bottom, table_.storedRows() - 1);
    for (int r = top; r <= bottom; ++r) {
      for (int c = std::max(left, 0); c <= right && c < table_.columns(); ++c) {
        if (table_.InputOf(c) >= 0) cells.push_back({r, table_.InputOf(c)});
      }
    }
    Push(table_.ClearCellsStep(cells));
  }
  void InsertRow(int row) { Push(table_.InsertRowStep(row)); }
  void DeleteRows(std::vector<int> rows) { Push(table_.DeleteRowsStep(std::move(rows))); }
  void ClearRows(std::vector<int> rows) { Push(table_.ClearRowsStep(std::move(rows))); }

  bool Undo() { return steps_.Undo(); }
  bool Redo() { return steps_.Redo(); }
  bool CanUndo() const { return steps_.CanUndo(); }
  bool CanRedo() const { return steps_.CanRedo(); }

 private:
  void Push(std::optional<Step> step) { steps_.Push(std::move(step)); }
  void Forget() { steps_.Clear(); }

  StudyTable table_;
  kelmory::table::StepStack steps_{table_};
};

val ToJs(const Outcome& outcome) {
  val object = val::object();
  object.set("ok", outcome.ok);
  object.set("message", outcome.message);
  return object;
}

char Separator(const std::string& text) { return text == "," ? ',' : '.'; }

// A table whose decimal separator is the user's ("." or ",").
WebTable* NewTable(const std::string& decimal) { return new WebTable(Separator(decimal)); }

// A number typed in a box, with a point or a comma, and the separator that
// read it.
kelmory::batch::CellNumber TypedNumber(const std::string& text, bool percent, char& separator) {
  separator = '.';
  auto number = kelmory::batch::ParseCellNumber(text, '.', percent);
  if (number.kind != kelmory::batch::CellNumber::Kind::Number) {
    separator = ',';
    number = kelmory::batch::ParseCellNumber(text, ',', percent);
  }
  return number;
}

// The level as the default level box holds it, in the user's separator; a
// level that is not a percentage strictly between 1 and 100 is refused.
val SetSettings(WebTable& table, const std::string& method, const std::string& level_text) {
  using kelmory::batch::CellNumber;
  char separator = '.';
  const CellNumber level = TypedNumber(level_text, true, separator);
  if (level.kind != CellNumber::Kind::Number || !(level.value >= 1) || !(level.value < 100))
    return ToJs({false, "The default level is a percentage from 1 to under 100, such as 95"});
  const auto exact = kelmory::batch::Level::Read(level_text, separator);
  table.table().SetSettings(method == "z" ? kelmory::batch::Method::Z : kelmory::batch::Method::T,
                            exact.value_or(kelmory::batch::Level(level.value)));
  return ToJs({});
}

// Which estimate fills a median row's sd and mean, by kelmory-batch's
// --median names; true when the columns or results moved.
bool SetMedian(WebTable& table, const std::string& name) {
  using kelmory::batch::MedianMethod;
  const MedianMethod median = name == "qe"          ? MedianMethod::Qe
                              : name == "lognormal" ? MedianMethod::LogNormal
                              : name == "auto"      ? MedianMethod::Auto
                                                    : MedianMethod::Normal;
  return table.table().SetMedian(median);
}

// The correlation imputed for changes from baseline without corr or
// sd_change: "none", "table" (the table's own mean) or "value" with the
// value in either separator, from -1 to 1.
val SetCorrelation(WebTable& table, const std::string& kind, const std::string& value_text) {
  using kelmory::batch::CellNumber;
  using kelmory::batch::CorrImputation;
  if (kind == "value") {
    char separator = '.';
    const CellNumber value = TypedNumber(value_text, false, separator);
    if (value.kind != CellNumber::Kind::Number || !(value.value >= -1) || !(value.value <= 1))
      return ToJs({false, "The correlation is a number from -1 to 1, such as 0.5"});
    table.table().SetCorrelation(CorrImputation::Value, value.value);
    return ToJs({});
  }
  table.table().SetCorrelation(kind == "table" ? CorrImputation::Table : CorrImputation::None,
                               std::nullopt);
  return ToJs({});
}

// A Uint8Array's bytes, copied in one go: embind's own conversion copies
// them one at a time, a fifth of a large paste. A text is taken as UTF-8.
std::string BytesOf(const val& bytes) {
  if (bytes.isString()) return bytes.as<std::string>();
  std::string text(bytes["length"].as<std::size_t>(), '\0');
  val(emscripten::typed_memory_view(text.size(), reinterpret_cast<unsigned char*>(text.data())))
      .call<void>("set", bytes);
  return text;
}

val Open(WebTable& table, const val& bytes) { return ToJs(table.Open(BytesOf(bytes))); }

val Paste(WebTable& table, const val& text, int top, int left) {
  return ToJs(table.Paste(BytesOf(text), top, left));
}

// The bytes as a Uint8Array of their own, or the message.
val Save(const WebTable& table) {
  std::string bytes;
  const Outcome outcome = table.table().Save(bytes);
  val object = ToJs(outcome);
  object.set("bytes", val::global("Uint8Array")
                          .new_(emscripten::typed_memory_view(
                              bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data()))));
  return object;
}

void SetCell(WebTable& table, int row, int column, const std::string& text) {
  table.SetCell(row, column, text);
}

void DeleteRows(WebTable& table, const val& rows) {
  table.DeleteRows(emscripten::vecFromJSArray<int>(rows));
}

void ClearRows(WebTable& table, const val& rows) {
  table.ClearRows(emscripten::vecFromJSArray<int>(rows));
}

// What the page shows; columns are the table's, rows past the stored ones
// show nothing.
int Rows(const WebTable& table) { return table.table().storedRows(); }
int Columns(const WebTable& table) { return table.table().columns(); }
int InputColumns(const WebTable& table) { return table.table().inputColumns(); }
bool IsResultColumn(const WebTable& table, int column) {
  return table.table().IsResultColumn(column);
}
std::string Heading(const WebTable& table, int column) { return table.table().Heading(column); }
std::string ColumnName(const WebTable& table, int column) {
  return table.table().ColumnName(column);
}
// As the file holds a number: the shortest text that reads back.
std::string Cell(const WebTable& table, int row, int column) {
  return table.table().Cell(row, column, kelmory::table::Digits::Shortest);
}
bool IsFilledIn(const WebTable& table, int row, int column) {
  return table.table().IsFilledIn(row, table.table().InputOf(column));
}

// 0 text, 1 number, 2 percent.
int KindOf(const WebTable& table, int column) {
  const StudyTable& core = table.table();
  switch (core.KindOf(core.InputOf(column))) {
    case kelmory::table::kNumber:
      return 1;
    case kelmory::table::kPercent:
      return 2;
    default:
      return 0;
  }
}

const kelmory::batch::RowResult* ResultOf(const WebTable& table, int row) {
  if (row < 0 || row >= table.table().storedRows()) return nullptr;
  return &table.table().ResultOf(row).result;
}

// 0 none, 1 warning, 2 refusal.
int MarkOf(const WebTable& table, int row) {
  if (row < 0 || row >= table.table().storedRows()) return 0;
  return static_cast<int>(table.table().rows()[row].mark);
}

// The row's warning or refusal; "" when it has none.
std::string MessageOf(const WebTable& table, int row) {
  const kelmory::batch::RowResult* result = ResultOf(table, row);
  if (!result) return {};
  return result->refusal.empty() ? result->warning : result->refusal;
}

std::string Working(const WebTable& table, int row) { return table.table().WorkingText(row); }

std::string CopyBlock(const WebTable& table, int top, int left, int bottom, int right,
                      bool header) {
  return table.table().CopyBlock(top, left, bottom, right, header,
                                 kelmory::table::Digits::Shortest);
}

val TallyOf(const WebTable& table) {
  const auto tally = table.table().tally();
  val object = val::object();
  object.set("rows", static_cast<double>(tally.rows));
  object.set("warnings", static_cast<double>(tally.warnings));
  object.set("refused", static_cast<double>(tally.refused));
  return object;
}

std::string DialectDecimal(const WebTable& table) { return {table.table().dialect().decimal}; }
std::string DialectDelimiter(const WebTable& table) { return {table.table().dialect().delimiter}; }

// The calculator: the main window's Compute on the four box texts.
val Derive(const std::string& se, const std::string& n, const std::string& ci, const std::string& z,
           int choice, const std::string& decimal) {
  const kelmory::SdDeriver deriver(kelmory::NumberLocale{decimal});
  const kelmory::DerivationOutcome outcome =
      deriver.derive({se, n, ci, z, static_cast<kelmory::ConfidenceChoice>(choice)});
  val object = val::object();
  const bool result = outcome.kind == kelmory::DerivationOutcome::Kind::Result;
  object.set("ok", result);
  object.set("refusal", outcome.refusal_message);
  object.set("result", outcome.result_text);
  object.set("working", outcome.working_text);
  object.set("advisory", outcome.advisory_message ? val(*outcome.advisory_message) : val::null());
  return object;
}

// The t-table: two-sided critical values of Student's t at twelve levels
// for df 1 to 100, then 120 to 1000, then the normal's, three decimals.
val TTable(const std::string& decimal) {
  static constexpr std::array<const char*, 12> kLevels = {"50", "60", "70", "80",   "90",   "95",
                                                          "96", "98", "99", "99.5", "99.8", "99.9"};
  std::vector<std::string> dfs;
  for (int df = 1; df <= 100; ++df) dfs.push_back(std::to_string(df));
  for (const int df : {120, 150, 200, 300, 500, 1000}) dfs.push_back(std::to_string(df));
  dfs.push_back("\xE2\x88\x9E");
  val rows = val::array();
  for (const std::string& df : dfs) {
    val row = val::array();
    row.call<void>("push", df);
    for (const char* level : kLevels) {
      const auto exact = kelmory::ReadExactDecimal(level, '.');
      const auto value = df.size() == 3 && df[0] == '\xE2'
                             ? kelmory::NormalCritical(*exact)
                             : kelmory::StudentCritical(*exact, std::strtod(df.c_str(), nullptr));
      char text[64] = "";
      if (value) std::snprintf(text, sizeof text, "%.3f", *value);
      std::string cell = text;
      if (decimal == ",") std::replace(cell.begin(), cell.end(), '.', ',');
      row.call<void>("push", cell);
    }
    rows.call<void>("push", row);
  }
  return rows;
}

}  // namespace

// Built without exceptions: Boost reports through these, which its
// ignore_error policies never reach.
namespace boost {
struct source_location;
[[noreturn]] void throw_exception(const std::exception&) { std::abort(); }
[[noreturn]] void throw_exception(const std::exception&, const boost::source_location&) {
  std::abort();
}
}  // namespace boost

EMSCRIPTEN_BINDINGS(kelmory_web) {
  using emscripten::allow_raw_pointers;
  using emscripten::function;
  emscripten::class_<WebTable>("WebTable")
      .constructor(&NewTable, allow_raw_pointers())
      .function("setSettings", &SetSettings)
      .function("setMedian", &SetMedian)
      .function("setCorrelation", &SetCorrelation)
      .function("open", &Open)
      .function("clear", &WebTable::Clear)
      .function("paste", &Paste)
      .function("setCell", &SetCell)
      .function("clearCells", &WebTable::ClearCells)
      .function("insertRow", &WebTable::InsertRow)
      .function("deleteRows", &DeleteRows)
      .function("clearRows", &ClearRows)
      .function("undo", &WebTable::Undo)
      .function("redo", &WebTable::Redo)
      .function("canUndo", &WebTable::CanUndo)
      .function("canRedo", &WebTable::CanRedo)
      .function("rows", &Rows)
      .function("columns", &Columns)
      .function("inputColumns", &InputColumns)
      .function("isResultColumn", &IsResultColumn)
      .function("heading", &Heading)
      .function("columnName", &ColumnName)
      .function("cell", &Cell)
      .function("isFilledIn", &IsFilledIn)
      .function("kind", &KindOf)
      .function("mark", &MarkOf)
      .function("message", &MessageOf)
      .function("working", &Working)
      .function("tally", &TallyOf)
      .function("copyBlock", &CopyBlock)
      .function("save", &Save)
      .function("decimal", &DialectDecimal)
      .function("delimiter", &DialectDelimiter);
  function("derive", &Derive);
  function("tTable", &TTable);
}
