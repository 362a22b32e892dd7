#pragma once
// The rows of the review window: table/'s table of studies (the cells as
// typed, pasted or read, each row's result from kelmory-batch's row rules)
// shown in a view, every change a step on the window's undo stack.

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "rows/row_rules.h"
#include "table/batch_run.h"
#include "table/study_table.h"
#include "table/table_text.h"

class QUndoStack;

namespace kelmory::review {

using table::CellKind;
using table::ComputedRow;
using table::kPercent;
using table::kText;
using table::PackedCells;
using table::Progress;
using table::Record;
using table::Tally;
using ReviewRow = table::StudyRow;

// A header section's arm colour, as a QColor: the band the header draws
// above an arm's columns.
inline constexpr int kArmBandRole = Qt::UserRole + 1;

// The window's view of the table of studies (table::StudyTable): its
// texts formatted and coloured for the view, and each edit a named undo
// step that swaps the table's step in and out.
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
  batch::CorrImputation correlation() const { return table_.settings().corr; }
  // Which estimate fills a median row's sd and mean; any but Normal adds
  // both side by side, so the columns change.
  void SetMedian(batch::MedianMethod median);
  batch::MedianMethod median() const { return table_.settings().median; }
  // The value imputed now, and for the table's mean the rows it comes from.
  std::optional<double> imputedCorrelation() const { return table_.settings().imputed_corr; }
  std::uint64_t correlationRows() const { return table_.settings().corr_rows; }
  // Every row again, as after a change of the user's decimal separator.
  void Recompute();
  batch::Method method() const { return table_.settings().method; }
  double level() const { return table_.settings().default_level.value; }
  const batch::Dialect& dialect() const { return table_.dialect(); }

  int inputColumns() const { return table_.inputColumns(); }
  int storedRows() const { return table_.storedRows(); }
  // The table's columns are the input columns, then the added ones; in a
  // table of arms each arm's added columns follow the arm's last input.
  // The input or added column a column of the table shows; -1 if neither.
  int inputOf(int column) const { return table_.InputOf(column); }
  int addedOf(int column) const { return table_.AddedOf(column); }
  bool isResultColumn(int column) const { return addedOf(column) >= 0; }
  // A result column's figure as the writer knows it: "method" for method.e.
  QString resultName(int column) const;
  // Whether the column is a group's sd or mean column, which results fill.
  bool isFilledColumn(int column) const { return table_.IsFilledColumn(column); }
  // The arm a column of the table belongs to; -1 for none.
  int armOf(int column) const { return table_.ArmOf(column); }
  // The row's result, made again unless the row was among those shown last.
  const ComputedRow& ResultOf(int row) const { return table_.ResultOf(row); }
  // The result an added column shows for the row.
  const batch::RowResult& ResultFor(const ComputedRow& row, std::size_t added) const {
    return table_.ResultFor(row, added);
  }
  QString workingText(int row) const;
  const Record& header() const { return table_.header(); }
  const std::vector<std::string_view>& added() const { return table_.added(); }
  // The added columns' headings as the file holds them ("method.e").
  const std::vector<std::string>& addedHeadings() const { return table_.addedHeadings(); }
  // Whether the input cell is one the row's result fills (an empty sd, or
  // mean, of a table with its own sd column); `input` counts input columns.
  bool IsFilledIn(int row, int input) const { return table_.IsFilledIn(row, input); }
  // The cell as Save writes it, in the table's decimal separator: a
  // filled-in one holds its result.
  std::string SavedCell(int row, int input) const { return table_.SavedCell(row, input); }
  const std::vector<ReviewRow>& rows() const { return table_.rows(); }
  CellKind KindOf(int input) const { return table_.KindOf(input); }
  Tally tally() const { return table_.tally(); }

  // The table as its file holds it: the input cells in the table's
  // dialect, for kelmory-batch's reader.
  std::string InputText() const { return table_.InputText(); }
  // What kelmory-batch --working takes to write it as the window shows it.
  batch::BatchOptions saveOptions() const { return table_.SaveOptions(); }

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

  // Applies the table's step, or takes it back, telling the view.
  void SwapStep(table::Step& step);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  void tableChanged();

 private:
  void Push(table::Step step, const QString& text);
  // All rows' texts and marks changed.
  void AllChanged();

  QUndoStack* undo_;
  table::StudyTable table_;
};

// The user's decimal separator, read afresh.
char UserDecimal();

}  // namespace kelmory::review
