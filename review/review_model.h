#pragma once
// The rows of the review window: the cells as typed, pasted or read (in the
// table's own decimal separator), each row's result from kelmory-batch's
// row rules, and every change as a step on an undo stack.

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "review/table_text.h"
#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "table/table_columns.h"

class QUndoStack;

namespace kelmory::review {

enum class RowMark : std::uint8_t { None, Warning, Refused };

struct ReviewRow {
  PackedCells cells;
  // Kept for the tally and the row marks. The result itself is made again
  // for the rows on show, so that a large table takes little more than its
  // text.
  RowMark mark = RowMark::None;
  std::uint32_t stamp = 0;  // the model's generation the mark was made in
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

// A header section's arm colour, as a QColor: the band the header draws
// above an arm's columns.
inline constexpr int kArmBandRole = Qt::UserRole + 1;

struct Tally {
  std::size_t rows = 0, warnings = 0, refused = 0;
};

class ReviewModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  ReviewModel(QUndoStack* undo, QObject* parent);

  // A table of its own: the settings stay, the undo steps go.
  void Reset(Record header, std::vector<PackedCells> rows, const batch::Dialect& dialect);
  // The new table's header and dialect: the user's separator, with ";"
  // between cells where that is a comma.
  static Record NewHeader();
  static batch::Dialect NewDialect();

  void SetSettings(batch::Method method, double level);
  // The correlation change rows without corr or sd_change take: none, the
  // user's `value`, or the table's own mean, kept up to date as rows change.
  void SetCorrelation(batch::CorrImputation corr, std::optional<double> value);
  batch::CorrImputation correlation() const { return settings_.corr; }
  // Which estimate fills a median row's sd and mean; any but Normal adds
  // both side by side, so the columns change.
  void SetMedian(batch::MedianMethod median);
  batch::MedianMethod median() const { return settings_.median; }
  // The value imputed now, and for the table's mean the rows it comes from.
  std::optional<double> imputedCorrelation() const { return settings_.imputed_corr; }
  std::uint64_t correlationRows() const { return settings_.corr_rows; }
  // Every row again, as after a change of the user's decimal separator.
  void Recompute();
  batch::Method method() const { return settings_.method; }
  double level() const { return settings_.default_level.value; }
  const batch::Dialect& dialect() const { return dialect_; }

  int inputColumns() const { return static_cast<int>(header_.size()); }
  int storedRows() const { return static_cast<int>(rows_.size()); }
  // The table's columns are the input columns, then the added ones; in a
  // table of arms each arm's added columns follow the arm's last input.
  // The input or added column a column of the table shows; -1 if neither.
  int inputOf(int column) const;
  int addedOf(int column) const;
  bool isResultColumn(int column) const { return addedOf(column) >= 0; }
  // A result column's figure as the writer knows it: "method" for method.e.
  QString resultName(int column) const;
  // Whether the column is a group's sd or mean column, which results fill.
  bool isFilledColumn(int column) const;
  // The arm a column of the table belongs to; -1 for none.
  int armOf(int column) const;
  // The row's result, made again unless the row was among those shown last.
  const ComputedRow& ResultOf(int row) const;
  // The result an added column shows for the row.
  const batch::RowResult& ResultFor(const ComputedRow& row, std::size_t added) const;
  QString workingText(int row) const;
  const Record& header() const { return header_; }
  const std::vector<std::string_view>& added() const { return added_; }
  // The added columns' headings as the file holds them ("method.e").
  const std::vector<std::string>& addedHeadings() const { return added_headings_; }
  // Whether the input cell is one the row's result fills (an empty sd, or
  // mean, of a table with its own sd column); `input` counts input columns.
  bool IsFilledIn(int row, int input) const;
  // The cell as Save writes it, in the table's decimal separator: a
  // filled-in one holds its result.
  std::string SavedCell(int row, int input) const;
  const std::vector<ReviewRow>& rows() const { return rows_; }
  CellKind KindOf(int input) const;
  Tally tally() const;

  // The table as its file holds it: the input cells in the table's
  // dialect, for kelmory-batch's reader.
  std::string InputText() const;

  // One undo step each.
  // False when `progress` stopped it, the table unchanged.
  bool PasteBlock(std::vector<PackedCells> block, const QModelIndex& at,
                  const Progress& progress = {});
  void InsertRow(int row);
  void DeleteRows(std::vector<int> rows);
  // Empties the input cells among `cells`.
  void ClearCells(const QModelIndexList& cells);
  // The cells of the selection's bounding rows and columns as a tab block;
  // with `header` the column names first.
  std::string CopyBlock(const QModelIndexList& selection, bool header) const;

  // Swaps rows [first, first + count) with `other` and, when given, the
  // header with `header`: an undo step applies itself by swapping back.
  void SwapRows(int first, int& count, std::vector<ReviewRow>& other,
                std::optional<Record>& header);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  void tableChanged();

 private:
  // `user`: the user's decimal separator, read once for many rows.
  void Compute(const PackedCells& cells, const ColumnMap& map, char user, bool working,
               ComputedRow& row) const;
  void Mark(ReviewRow& row, const ColumnMap& map, char user, std::uint32_t stamp) const;
  void ComputeAll();
  void Changed() { ++version_; }
  // With the table's mean correlation: takes it afresh from the rows, and
  // computes every row again when it moved. True when it did.
  bool RefreshTableCorrelation();
  bool IsFilled(const ReviewRow& row) const;
  void Push(int first, int count, std::vector<ReviewRow> rows, std::optional<Record> header,
            const QString& text);
  ReviewRow EmptyRow() const;
  void MapColumns();
  // The result that fills input cell `input` of the row and the name of
  // its figure ("sd", "estimated_mean"); null when it fills none.
  const batch::RowResult* FilledFrom(const ComputedRow& row, int input,
                                     std::string_view& name) const;

  QUndoStack* undo_;
  Record header_;
  std::vector<std::string_view> added_;
  std::vector<std::string> added_headings_;
  struct Slot {
    int input = -1, added = -1, arm = -1;
  };
  std::vector<Slot> slots_;      // the table's columns in order
  std::vector<int> added_arms_;  // each added column's arm, -1 for none
  std::vector<ReviewRow> rows_;
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

// The user's decimal separator, read afresh.
char UserDecimal();

}  // namespace kelmory::review
