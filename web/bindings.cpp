// The page's way into the C++ rules (embind): the table of studies, the
// calculator of the main window and the t-table, each as the desktop
// programs compute them.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/critical_values.h"
#include "engine/sd_deriver.h"
#include "rows/cell_number.h"
#include "web/web_table.h"

namespace {

using emscripten::val;
using kelmory::web::Outcome;
using kelmory::web::WebTable;

val ToJs(const Outcome& outcome) {
  val object = val::object();
  object.set("ok", outcome.ok);
  object.set("message", outcome.message);
  return object;
}

char Separator(const std::string& text) { return text == "," ? ',' : '.'; }

// A table whose decimal separator is the user's ("." or ",").
WebTable* NewTable(const std::string& decimal) { return new WebTable(Separator(decimal)); }

// The level as the default level box holds it, in the user's separator; a
// level that is not a percentage strictly between 1 and 100 is refused.
val SetSettings(WebTable& table, const std::string& method, const std::string& level_text) {
  using kelmory::batch::CellNumber;
  char separator = '.';
  auto level = kelmory::batch::ParseCellNumber(level_text, '.', true);
  if (level.kind != CellNumber::Kind::Number) {
    separator = ',';
    level = kelmory::batch::ParseCellNumber(level_text, ',', true);
  }
  if (level.kind != CellNumber::Kind::Number || !(level.value >= 1) || !(level.value < 100))
    return ToJs({false, "The default level is a percentage from 1 to under 100, such as 95"});
  const auto exact = kelmory::batch::Level::Read(level_text, separator);
  table.SetSettings(method == "z" ? kelmory::batch::Method::Z : kelmory::batch::Method::T,
                    exact.value_or(kelmory::batch::Level(level.value)));
  return ToJs({});
}

val Open(WebTable& table, const std::string& bytes) { return ToJs(table.Open(bytes)); }

val Paste(WebTable& table, const std::string& text, int top, int left) {
  return ToJs(table.Paste(text, top, left));
}

// The bytes as a Uint8Array of their own, or the message.
val Save(const WebTable& table) {
  std::string bytes;
  const Outcome outcome = table.Save(bytes);
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

int KindOf(const WebTable& table, int column) { return static_cast<int>(table.KindOf(column)); }

int MarkOf(const WebTable& table, int row) { return static_cast<int>(table.MarkOf(row)); }

val TallyOf(const WebTable& table) {
  const auto tally = table.tally();
  val object = val::object();
  object.set("rows", static_cast<double>(tally.rows));
  object.set("warnings", static_cast<double>(tally.warnings));
  object.set("refused", static_cast<double>(tally.refused));
  return object;
}

std::string DialectDecimal(const WebTable& table) { return {table.dialect().decimal}; }
std::string DialectDelimiter(const WebTable& table) { return {table.dialect().delimiter}; }

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
      .function("rows", &WebTable::rows)
      .function("columns", &WebTable::columns)
      .function("inputColumns", &WebTable::inputColumns)
      .function("isResultColumn", &WebTable::IsResultColumn)
      .function("heading", &WebTable::Heading)
      .function("columnName", &WebTable::ColumnName)
      .function("cell", &WebTable::Cell)
      .function("isFilledIn", &WebTable::IsFilledIn)
      .function("kind", &KindOf)
      .function("mark", &MarkOf)
      .function("message", &WebTable::MessageOf)
      .function("working", &WebTable::Working)
      .function("tally", &TallyOf)
      .function("copyBlock", &WebTable::CopyBlock)
      .function("save", &Save)
      .function("decimal", &DialectDecimal)
      .function("delimiter", &DialectDelimiter);
  function("derive", &Derive);
  function("tTable", &TTable);
}
