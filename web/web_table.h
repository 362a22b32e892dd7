#pragma once
// The page's table of studies, without a toolkit: the cells as typed, pasted
// or read (in the table's own decimal separator), each row's result from the
// row rules, and every change as a step that undo takes back. The page asks
// it for the texts it shows; Save gives the bytes kelmory-batch --working
// writes for the same table.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "review/table_text.h"
#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "table/table_columns.h"

namespace kelmory::web {

using review::Record;

// What a header column holds, for its decimal separator.
enum class CellKind { Text, Number, Percent };

// How a row's result is marked.
enum class Mark { None, Warning, Refusal };

struct Tally {
  std::size_t rows = 0, warnings = 0, refused = 0;
};

// What a change did: nothing, or a message naming why it was not made.
struct Outcome {
  bool ok = true;
  std::string message;
};

class WebTable {
 public:
  explicit WebTable(char user_decimal);

  void SetSettings(batch::Method method, const batch::Level& level);
  batch::Method method() const { return settings_.method; }

  // A file's bytes, read as kelmory-batch reads them; a broken file leaves
  // the table as it was. Not an undo step: a table of its own.
  Outcome Open(const std::string& bytes);
  // An empty table with the usual columns.
  void Clear();

  // Undo steps, one each.
  // A tab block with a header joins its columns to the table's; without,
  // its cells go from (top, left) on.
  Outcome Paste(std::string_view text, int top, int left);
  // `row` may be the row to type into, after the last.
  void SetCell(int row, int column, std::string_view text);
  void ClearCells(int top, int left, int bottom, int right);
  void InsertRow(int row);
  void DeleteRows(int first, int count);
  // Rows anywhere in the table, in one step each.
  void DeleteRows(std::vector<int> rows);
  void ClearRows(std::vector<int> rows);
  bool Undo();
  bool Redo();
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }

  // What the page shows: the input columns, then the added ones.
  int rows() const { return static_cast<int>(rows_.size()); }
  int inputColumns() const { return static_cast<int>(header_.size()); }
  int columns() const { return inputColumns() + static_cast<int>(added_.size()); }
  bool IsResultColumn(int column) const { return column >= inputColumns(); }
  std::string Heading(int column) const;
  // The lower-case name the rules know a column by ("sd", "n", ...).
  std::string ColumnName(int column) const;
  // In the user's decimal separator; "" past the stored rows.
  std::string Cell(int row, int column) const;
  // An input cell the row's result fills (an empty sd or mean).
  bool IsFilledIn(int row, int column) const;
  CellKind KindOf(int column) const;  // Text for the added columns
  Mark MarkOf(int row) const;
  // The row's warning or refusal; "" when it has none.
  std::string MessageOf(int row) const;
  std::string Working(int row) const;
  Tally tally() const;

  // The cells of rows [top, bottom] and columns [left, right] as a tab
  // block; with `header` the column headings first.
  std::string CopyBlock(int top, int left, int bottom, int right, bool header) const;
  // The table as its file holds it, for the reader.
  std::string InputText() const;
  // What kelmory-batch --working writes for the table with the settings,
  // into `bytes`; a header the batch cannot read gives its message.
  Outcome Save(std::string& bytes) const;
  const batch::Dialect& dialect() const { return dialect_; }
  const Record& header() const { return header_; }

 private:
  struct Row {
    Record cells;
    batch::RowResult result;
    bool sd_from_result = false, mean_from_result = false;
    std::uint64_t stamp = 0;
  };
  struct ColumnMap {
    batch::TableColumns columns;
    std::vector<CellKind> kind;
    std::size_t width = 0;
  };
  // Swapping its rows (and header) into the table applies it; swapping
  // them back takes it back.
  struct Step {
    int first = 0, count = 0;
    std::vector<Row> rows;
    std::optional<Record> header;
  };

  static ColumnMap MapHeader(const Record& header);
  void MapColumns();
  void Compute(Row& row, const ColumnMap& map, bool working = false) const;
  void ComputeStale();
  bool IsFilled(const Row& row) const;
  Row EmptyRow() const;
  std::string Stored(std::string cell, CellKind kind) const;
  void Push(int first, int count, std::vector<Row> rows, std::optional<Record> header);
  void Swap(Step& step);

  char user_;
  Record header_;
  std::vector<std::string_view> added_;
  std::vector<std::string> added_headings_;
  std::vector<Row> rows_;
  batch::Dialect dialect_;
  batch::RowSettings settings_{.audience = batch::Audience::Window};
  ColumnMap map_;
  // Moves on with each change of the settings or the header: rows whose
  // stamp is older are computed again.
  std::uint64_t generation_ = 1;
  std::vector<Step> undo_, redo_;
  mutable CriticalValueCache cache_;
  mutable std::vector<std::string_view> row_view_;
  mutable Record moved_;
  mutable batch::RowCells row_cells_;
};

}  // namespace kelmory::web
