#pragma once
// The table of studies as the review window and the page both edit it,
// without a toolkit: the cells as typed, pasted or read (in the table's own
// decimal separator, packed a row to a block), the columns the writer adds
// (each arm's beside its inputs), each row's result from rows/'s rules, and
// every edit as a Step that swapping into the table applies and swapping
// again takes back. review/'s model and web/'s binding put their undo stacks
// over the steps and show the texts it gives.

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "table/table_columns.h"
#include "table/table_text.h"

namespace kelmory::table {

enum class RowMark : std::uint8_t { None, Warning, Refused };

struct StudyRow {
  PackedCells cells;
  // Kept for the tally and the row marks. The result itself is made again
  // for the rows on show, so that a large table takes little more than its
  // text.
  RowMark mark = RowMark::None;
  std::uint32_t stamp = 0;  // the table's generation the mark was made in
  // The correlation a change row's three SDs give, for the table's mean;
  // NaN where it gives none.
  double corr_estimated = std::numeric_limits<double>::quiet_NaN();
};

// A row's result as the rules make it.
struct ComputedRow {
  batch::RowResult result;
  // The row's sd and mean cells are empty and shown from the result.
  bool sd_from_result = false, mean_from_result = false;
  // A table of arms: each arm's result; `result` then sums them up for the
  // row (each arm's warning and refusal under its label, and its working).
  std::vector<batch::TableRow> arms;
};

// What a header column holds, for its decimal separator: text, a number, or
// a number that may end in "%" (the level).
enum CellKind : int { kText = -1, kNumber = 0, kPercent = 1 };

// A header as the batch reads it, and the kind of each of its columns.
struct ColumnMap {
  batch::TableColumns columns;
  std::vector<CellKind> kind;
  std::size_t width = 0;
};
ColumnMap MapHeader(const Record& header);

struct Tally {
  std::size_t rows = 0, warnings = 0, refused = 0;
};

// A change that was not made, and why.
struct Outcome {
  bool ok = true;
  std::string message;
};

// How a result number is written: as the file holds it (the shortest text
// that reads back) or as a spreadsheet holds it (15 significant digits).
enum class Digits { Shortest, Spreadsheet };

// Swapping its rows (and header) into the table applies it; swapping them
// back takes it back. Rows [first, first + count) of the table are those
// the step holds in `rows`.
struct Step {
  int first = 0, count = 0;
  std::vector<StudyRow> rows;
  std::optional<Record> header;
};

// A table a header paste into an empty table gets: the one it had, or a
// new one in the user's separator.
enum class PasteDialect { Keep, Fresh };

// An input cell: its row and input column.
struct InputCell {
  int row = 0, input = 0;
};

class StudyTable {
 public:
  // `user`: the user's decimal separator, "." or ",".
  explicit StudyTable(char user);

  // The new table's header and dialect: the user's separator, with ";"
  // between cells where that is a comma.
  static Record NewHeader();
  static batch::Dialect NewDialect(char user);

  // A table of its own; the settings stay.
  void Reset(Record header, std::vector<PackedCells> rows, const batch::Dialect& dialect);
  // A file's bytes, read as kelmory-batch reads them; a broken file leaves
  // the table as it was.
  Outcome Open(std::string_view bytes);

  char user() const { return user_; }
  // Every row again in the user's new separator.
  void SetUser(char user);
  // Each true when the rows were computed again.
  bool SetSettings(batch::Method method, const batch::Level& level);
  // The correlation change rows without corr or sd_change take: none, the
  // user's `value`, or the table's own mean, kept up to date as rows change.
  bool SetCorrelation(batch::CorrImputation corr, std::optional<double> value);
  // Which estimate fills a median row's sd and mean; any but Normal adds
  // both side by side, so the columns change.
  bool SetMedian(batch::MedianMethod median);
  void Recompute();

  const batch::RowSettings& settings() const { return settings_; }
  const batch::Dialect& dialect() const { return dialect_; }
  const Record& header() const { return header_; }
  const std::vector<StudyRow>& rows() const { return rows_; }
  const ColumnMap& map() const { return map_; }

  int inputColumns() const { return static_cast<int>(header_.size()); }
  int storedRows() const { return static_cast<int>(rows_.size()); }
  int columns() const { return static_cast<int>(slots_.size()); }
  // The table's columns are the input columns, then the added ones; in a
  // table of arms each arm's added columns follow the arm's last input.
  // The input or added column a column of the table shows; -1 if neither.
  int InputOf(int column) const;
  int AddedOf(int column) const;
  bool IsResultColumn(int column) const { return AddedOf(column) >= 0; }
  // The arm a column of the table belongs to; -1 for none.
  int ArmOf(int column) const;
  // Whether the column is a group's sd or mean column, which results fill.
  bool IsFilledColumn(int column) const;
  const std::vector<std::string_view>& added() const { return added_; }
  // The added columns' headings as the file holds them ("method.e").
  const std::vector<std::string>& addedHeadings() const { return added_headings_; }
  // The column's heading as the file holds it, and the lower-case name the
  // rules know it by ("sd", "method").
  std::string Heading(int column) const;
  std::string ColumnName(int column) const;
  CellKind KindOf(int input) const;

  // The row's result, made again unless the row was among those shown last.
  const ComputedRow& ResultOf(int row) const;
  // The result an added column shows for the row.
  const batch::RowResult& ResultFor(const ComputedRow& row, std::size_t added) const;
  // The result that fills input cell `input` of the row and the name of
  // its figure ("sd", "estimated_mean"); null when it fills none.
  const batch::RowResult* FilledFrom(const ComputedRow& row, int input,
                                     std::string_view& name) const;
  // Whether the input cell is one the row's result fills (an empty sd, or
  // mean, of a table with its own sd column).
  bool IsFilledIn(int row, int input) const;
  // The text of a cell of the table, in the user's separator; a filled-in
  // cell shows its result unless `as_typed`. Empty past the stored rows.
  std::string Cell(int row, int column, Digits digits, bool as_typed = false) const;
  // The cell as Save writes it, in the table's decimal separator: a
  // filled-in one holds its result.
  std::string SavedCell(int row, int input) const;
  // How the row's SD was found, lines ended by LF.
  std::string WorkingText(int row) const;
  Tally tally() const;

  // The cells of rows [top, bottom] and columns [left, right] as a tab
  // block; with `header` the headings first.
  std::string CopyBlock(int top, int left, int bottom, int right, bool header, Digits digits) const;
  // The table as its file holds it: the input cells in the table's
  // dialect, for kelmory-batch's reader.
  std::string InputText() const;
  // What kelmory-batch --working writes for the table with its settings,
  // and the options it takes for them.
  Outcome Save(std::string& bytes) const;
  batch::BatchOptions SaveOptions() const;

  // The steps of the edits, made but not yet applied.
  // A block with a header joins its columns to the table's; without, its
  // cells go from row `top`, input column `left` on. Nothing when
  // `progress` stopped it.
  std::optional<Step> PasteStep(std::vector<PackedCells> block, int top, int left,
                                const Progress& progress = {},
                                PasteDialect dialect = PasteDialect::Keep);
  // `typed` in the user's separator; `row` may be the row after the last.
  // Nothing when the cell keeps its text.
  std::optional<Step> EditStep(int row, int input, std::string_view typed) const;
  Step InsertRowStep(int row) const;
  std::optional<Step> DeleteRowsStep(std::vector<int> rows) const;
  // Empties the input cells among `cells`; nothing when all were empty.
  std::optional<Step> ClearCellsStep(std::span<const InputCell> cells) const;
  // Empties every cell of the rows.
  std::optional<Step> ClearRowsStep(std::vector<int> rows) const;

  // Applies the step, or takes it back: the step then holds what the table
  // held. True when the table's mean correlation moved, so that every row's
  // result changed.
  bool Swap(Step& step);

 private:
  void Compute(const PackedCells& cells, const ColumnMap& map, bool working,
               ComputedRow& row) const;
  void Mark(StudyRow& row, const ColumnMap& map, std::uint32_t stamp) const;
  void ComputeAll();
  void Changed() { ++version_; }
  // With the table's mean correlation: takes it afresh from the rows, and
  // computes every row again when it moved. True when it did.
  bool RefreshTableCorrelation();
  static bool IsFilled(const StudyRow& row);
  StudyRow EmptyRow() const;
  void MapColumns();
  std::string Stored(std::string_view cell, CellKind kind) const;

  char user_;
  Record header_;
  std::vector<std::string_view> added_;
  std::vector<std::string> added_headings_;
  struct Slot {
    int input = -1, added = -1, arm = -1;
  };
  std::vector<Slot> slots_;      // the table's columns in order
  std::vector<int> added_arms_;  // each added column's arm, -1 for none
  std::vector<StudyRow> rows_;
  batch::Dialect dialect_;
  batch::RowSettings settings_{.audience = batch::Audience::Window};
  ColumnMap map_;
  // Moves on with each change of the settings or the header: rows whose
  // stamp is older are computed again.
  std::uint32_t generation_ = 1;
  // The results of the rows shown last, by row; any change moves the
  // version on and so drops them.
  struct Shown {
    int row = -1;
    std::uint64_t version = 0;
    ComputedRow computed;
  };
  mutable std::array<Shown, 256> shown_;
  std::uint64_t version_ = 1;
  mutable ComputedRow scratch_;
  mutable CriticalValueCache cache_;
  // Room reused from row to row.
  mutable std::vector<std::string_view> row_view_;
  mutable Record moved_;
  mutable batch::RowCells row_cells_;
};

// Undo and redo over a table's steps, for a front without an undo stack of
// its own.
class StepStack {
 public:
  explicit StepStack(StudyTable& table) : table_(table) {}
  // Applies the step and keeps it to be taken back; no step, no change.
  void Push(std::optional<Step> step);
  bool Undo() { return Move(undo_, redo_); }
  bool Redo() { return Move(redo_, undo_); }
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  void Clear();

 private:
  bool Move(std::vector<Step>& from, std::vector<Step>& to);

  StudyTable& table_;
  std::vector<Step> undo_, redo_;
};

}  // namespace kelmory::table
