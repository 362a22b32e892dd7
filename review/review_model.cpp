#include "review/review_model.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QLocale>
#include <QPalette>
#include <QStyle>
#include <QUndoStack>
#include <algorithm>

#include "rows/cell_number.h"
#include "table/arm_columns.h"

namespace kelmory::review {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One undo step: swapping the table's step in applies it, swapping it back
// takes it back.
class RowsCommand final : public QUndoCommand {
 public:
  RowsCommand(ReviewModel* model, table::Step step, const QString& text)
      : QUndoCommand(text), model_(model), step_(std::move(step)) {}
  void redo() override { model_->SwapStep(step_); }
  void undo() override { model_->SwapStep(step_); }

 private:
  ReviewModel* model_;
  table::Step step_;
};

bool Dark() { return QApplication::palette().color(QPalette::Base).lightness() < 128; }

// Marks that read on light and dark schemes alike: each pairs a background
// with its own text colour.
QColor WarningBack() { return Dark() ? QColor(0x5c, 0x47, 0x00) : QColor(0xff, 0xe7, 0x9c); }
QColor RefusalBack() { return Dark() ? QColor(0x6e, 0x1f, 0x24) : QColor(0xf7, 0xc4, 0xc4); }
QColor ResultBack() { return Dark() ? QColor(0x26, 0x30, 0x3b) : QColor(0xe9, 0xf0, 0xf7); }
QColor MarkText() { return Dark() ? QColor(Qt::white) : QColor(Qt::black); }

// Arm `arm`'s header: a hue a arm, a tint behind the names that keeps
// them readable and a strong band above them, for light and dark schemes.
QColor ArmTint(int arm) {
  static constexpr std::array<QRgb, 4> kLight = {0xc6dcf5, 0xcde8c8, 0xf5d8b8, 0xe0cff0};
  static constexpr std::array<QRgb, 4> kDark = {0x1f3a56, 0x234528, 0x553716, 0x3d2a55};
  const std::size_t hue = static_cast<std::size_t>(arm) % kLight.size();
  return QColor(Dark() ? kDark[hue] : kLight[hue]);
}
QColor ArmBand(int arm) {
  static constexpr std::array<QRgb, 4> kLight = {0x2f6fbf, 0x358c40, 0xc8701c, 0x7f4db5};
  static constexpr std::array<QRgb, 4> kDark = {0x6aa8f0, 0x6cc978, 0xf0a35c, 0xb68ce6};
  const std::size_t hue = static_cast<std::size_t>(arm) % kLight.size();
  return QColor(Dark() ? kDark[hue] : kLight[hue]);
}

// An arm's column as its unsuffixed name: "n.e" and "n1i" are "n", "m1i"
// is "mean".
std::string ArmBase(const std::string& lower) {
  const std::optional<batch::ArmName> arm = batch::ReadArmName(lower);
  if (!arm) return lower;
  return arm->column == batch::kArmSd ? "sd" : std::string(batch::kColumnNames[arm->column]);
}

QString ColumnTip(std::string_view name) {
  static const std::pair<std::string_view, const char*> tips[] = {
      {"study", "The study's name, kept as it is"},
      {"n", "The sample size, a whole number"},
      {"se", "The standard error of the mean"},
      {"ci", "The half-width of the confidence interval: its ± part"},
      {"lower", "The lower bound of the confidence interval"},
      {"upper", "The upper bound of the confidence interval"},
      {"mean", "The mean, checked against the interval's bounds"},
      {"level", "The row's confidence level in percent (95 or 95%); empty: the default level"},
      {"z", "A critical value of your own for this row's interval"},
      {"median", "The median"},
      {"q1", "The first quartile"},
      {"q3", "The third quartile"},
      {"min", "The smallest value"},
      {"max", "The largest value"},
      {"n1", "The size of the first group"},
      {"n2", "The size of the second group"},
      {"md", "The difference between the two groups' means, or a paired difference beside n"},
      {"t", "The t statistic of the difference"},
      {"p", "The two-sided p of an unpaired t test"},
      {"n_", "The size of this subgroup"},
      {"mean_", "The mean of this subgroup"},
      {"sd_", "The standard deviation of this subgroup"},
      {"estimated_mean", "The estimated mean of a median row, or the combined mean of subgroups"},
      {"total_n", "The combined size of the subgroups"},
      {"working", "How the row's SD was found, step by step"},
      {"sd", "The standard deviation, by the row's method"},
      {"method",
       "How the SD was found: se, t, z, user (the row's own z), median-range, median-iqr, "
       "median-five, two-group p..."},
      {"critical_value", "The divisor of the interval's half-width"},
      {"df", "Degrees of freedom of the t value: n - 1"},
      {"sd_z", "The standard deviation under z"},
      {"sd_t", "The standard deviation under Student's t"},
      {"z_t_gap_percent", "How far the SD under z lies from the SD under t, in percent"},
      {"or", "An odds ratio"},
      {"rr", "A risk ratio"},
      {"hr", "A hazard ratio"},
      {"log_ratio", "The natural log of the row's ratio"},
      {"se_log_ratio", "The standard error of the log ratio, for an inverse-variance analysis"},
      {"sd_baseline", "The SD at baseline"},
      {"sd_final", "The SD at the end"},
      {"sd_change", "The SD of the change from baseline"},
      {"corr", "The correlation between the two measurements of each participant"},
      {"mean_normal", "The normal-theory estimate of a median row's mean"},
      {"sd_normal", "The normal-theory estimate of a median row's SD"},
      {"mean_skewed", "The skewed-data estimate of a median row's mean"},
      {"sd_skewed", "The skewed-data estimate of a median row's SD"},
      {"skewed_method", "The skewed-data method and, for QE, the distribution that fits best"},
      {"corr_estimated", "The correlation that the row's three SDs give"},
      {"sd_within", "The SD of each period of a paired row, from the SD of the differences"},
      {"warning", "What to check in this row"},
      {"refusal", "Why this row has no SD"},
  };
  for (const auto& [column, tip] : tips) {
    if (column == name) return QObject::tr(tip);
  }
  // Subgroup columns: n_1, mean_2, sd_3 ...
  const std::size_t digits = name.find_last_not_of("0123456789");
  if (digits != std::string_view::npos && digits + 1 < name.size() && name[digits] == '_') {
    const std::string_view prefix = name.substr(0, digits + 1);
    for (const auto& [column, tip] : tips) {
      if (column == prefix) return QObject::tr(tip);
    }
  }
  return {};
}

}  // namespace

char UserDecimal() {
  const QString point = QLocale::system().decimalPoint();
  return point == QStringLiteral(",") ? ',' : '.';
}

ReviewModel::ReviewModel(QUndoStack* undo, QObject* parent)
    : QAbstractTableModel(parent), undo_(undo), table_(UserDecimal()) {}

QString ReviewModel::resultName(int column) const {
  const int added = addedOf(column);
  return added >= 0 ? Text(table_.added()[added]) : QString();
}

Record ReviewModel::NewHeader() { return table::StudyTable::NewHeader(); }

batch::Dialect ReviewModel::NewDialect() { return table::StudyTable::NewDialect(UserDecimal()); }

void ReviewModel::Reset(Record header, std::vector<PackedCells> rows,
                        const batch::Dialect& dialect) {
  beginResetModel();
  table_.SetUser(UserDecimal());
  table_.Reset(std::move(header), std::move(rows), dialect);
  endResetModel();
  undo_->clear();
  emit tableChanged();
}

void ReviewModel::AllChanged() {
  if (storedRows() > 0) {
    emit dataChanged(index(0, 0), index(storedRows() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, 0, storedRows() - 1);
  }
}

void ReviewModel::SetSettings(batch::Method method, double level) {
  if (method == this->method() && level == this->level()) return;
  table_.SetSettings(method, level);
  AllChanged();
  emit tableChanged();
}

void ReviewModel::SetCorrelation(batch::CorrImputation corr, std::optional<double> value) {
  if (!table_.SetCorrelation(corr, value)) return;
  AllChanged();
  emit tableChanged();
}

void ReviewModel::SetMedian(batch::MedianMethod median) {
  if (median == this->median()) return;
  beginResetModel();
  table_.SetMedian(median);
  endResetModel();
  emit tableChanged();
}

void ReviewModel::Recompute() {
  if (const char user = UserDecimal(); user != table_.user())
    table_.SetUser(user);  // which computes every row again
  else
    table_.Recompute();
  AllChanged();
  emit tableChanged();
}

QString ReviewModel::workingText(int row) const { return Text(table_.WorkingText(row)); }

void ReviewModel::Push(table::Step step, const QString& text) {
  undo_->push(new RowsCommand(this, std::move(step), text));
}

void ReviewModel::SwapStep(table::Step& step) {
  const int first = step.first, count = step.count;
  const int incoming = static_cast<int>(step.rows.size());
  const bool header = step.header.has_value();
  // Rows added at the end fill the row to type into, which moves below
  // them: a cursor in it stays on the row just typed.
  const bool append = !header && count == 0 && first == storedRows();
  if (header) {
    beginResetModel();
  } else if (incoming > count) {
    const int at = append ? first + 1 : first + count;
    beginInsertRows({}, at, at + incoming - count - 1);
  } else if (incoming < count) {
    beginRemoveRows({}, first + incoming, first + count - 1);
  }
  const bool all = table_.Swap(step);
  if (header) {
    endResetModel();
  } else {
    if (incoming > count) endInsertRows();
    if (incoming < count) endRemoveRows();
    const int changed = append && incoming > 0 ? 1 : std::min(count, incoming);
    if (all && storedRows() > 0) {
      AllChanged();
    } else if (changed > 0) {
      emit dataChanged(index(first, 0), index(first + changed - 1, columnCount() - 1));
      emit headerDataChanged(Qt::Vertical, first, first + changed - 1);
    }
  }
  emit tableChanged();
}

bool ReviewModel::PasteBlock(std::vector<PackedCells> block, const QModelIndex& at,
                             const Progress& progress) {
  if (block.empty()) return true;
  table_.SetUser(UserDecimal());
  // No header: the cells go from the current one on.
  const int top = at.isValid() ? at.row() : 0;
  const int left = at.isValid() && inputOf(at.column()) >= 0 ? inputOf(at.column()) : 0;
  std::optional<table::Step> step = table_.PasteStep(std::move(block), top, left, progress);
  if (!step) return false;
  Push(std::move(*step), tr("Paste"));
  return true;
}

void ReviewModel::InsertRow(int row) { Push(table_.InsertRowStep(row), tr("Insert Row")); }

void ReviewModel::DeleteRows(std::vector<int> rows) {
  if (auto step = table_.DeleteRowsStep(std::move(rows))) Push(std::move(*step), tr("Delete Rows"));
}

void ReviewModel::ClearCells(const QModelIndexList& cells) {
  std::vector<table::InputCell> inputs;
  inputs.reserve(static_cast<std::size_t>(cells.size()));
  for (const QModelIndex& cell : cells) {
    const int input = inputOf(cell.column());
    if (cell.row() < storedRows() && input >= 0) inputs.push_back({cell.row(), input});
  }
  if (auto step = table_.ClearCellsStep(inputs)) Push(std::move(*step), tr("Clear Cells"));
}

std::string ReviewModel::CopyBlock(const QModelIndexList& selection, bool header) const {
  int top = rowCount(), bottom = -1, left = columnCount(), right = -1;
  for (const QModelIndex& index : selection) {
    if (index.row() >= storedRows()) continue;
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
    left = std::min(left, index.column());
    right = std::max(right, index.column());
  }
  if (bottom < 0) return {};
  return table_.CopyBlock(top, left, bottom, right, header, table::Digits::Spreadsheet);
}

int ReviewModel::rowCount(const QModelIndex& parent) const {
  // The last row is where a new row is typed.
  return parent.isValid() ? 0 : storedRows() + 1;
}

int ReviewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : table_.columns();
}

QVariant ReviewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= storedRows()) return {};
  const ComputedRow& computed = ResultOf(index.row());
  const int added = addedOf(index.column());
  const int column = inputOf(index.column());
  const bool result = added >= 0;
  const std::string_view name = result ? table_.added()[added] : std::string_view();
  // The arm's own result in a table of arms.
  const batch::RowResult& shown = result ? ResultFor(computed, added) : computed.result;
  // An sd or mean cell the result fills is drawn as a result; typing into
  // it makes it the user's.
  std::string_view filled_name;
  const batch::RowResult* filled = table_.FilledFrom(computed, column, filled_name);
  const bool filled_in = filled != nullptr;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      // A spreadsheet's 15 digits; the file keeps the shortest exact text.
      return Text(table_.Cell(index.row(), index.column(), table::Digits::Spreadsheet,
                              role == Qt::EditRole));
    case Qt::ToolTipRole:
      if (filled_in && !filled->method.empty()) return tr("Computed: %1").arg(Text(filled->method));
      if (name == "warning" && !shown.warning.empty()) return Text(shown.warning);
      if (name == "refusal" && !shown.refusal.empty()) return Text(shown.refusal);
      return {};
    case Qt::AccessibleDescriptionRole:
      // A screen reader on any result cell hears what is wrong with the row.
      if (!result) return {};
      if (!shown.refusal.empty()) return tr("Refused: %1").arg(Text(shown.refusal));
      if (!shown.warning.empty()) return tr("Warning: %1").arg(Text(shown.warning));
      return {};
    case Qt::BackgroundRole:
      if (name == "warning" && !shown.warning.empty()) return WarningBack();
      if (name == "refusal" && !shown.refusal.empty()) return RefusalBack();
      if (result || filled_in) return ResultBack();
      return {};
    case Qt::ForegroundRole:
      if (result || filled_in) return MarkText();
      return {};
    default:
      return {};
  }
}

QVariant ReviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return Text(table_.Heading(section));
    const int added = addedOf(section);
    const std::string_view name =
        added >= 0 ? table_.added()[added] : std::string_view(header()[inputOf(section)]);
    const int arm = armOf(section);
    if (role == Qt::ToolTipRole) {
      const QString tip = ColumnTip(ArmBase(batch::Lower(name)));
      if (arm < 0) return tip;
      return tr("Arm %1: %2").arg(Text(table_.map().columns.arms[arm].label), tip);
    }
    // Each arm's columns, its inputs and its results, in a band of its own.
    if (role == Qt::BackgroundRole && arm >= 0) return ArmTint(arm);
    if (role == kArmBandRole && arm >= 0) return ArmBand(arm);
    if (role == Qt::ForegroundRole && arm >= 0) return MarkText();
    return {};
  }
  if (section < 0 || section > storedRows()) return {};
  if (section == storedRows()) {
    if (role == Qt::DisplayRole) return QStringLiteral("*");
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole)
      return tr("Type here to add a row");
    return {};
  }
  const batch::RowResult& result = ResultOf(section).result;
  const bool refused = !result.refusal.empty(), warned = !result.warning.empty();
  switch (role) {
    case Qt::DisplayRole:
      return section + 1;
    case Qt::DecorationRole:
      if (refused) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
      if (warned) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
      return {};
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
      if (refused) return tr("Refused: %1").arg(Text(result.refusal));
      if (warned) return tr("Warning: %1").arg(Text(result.warning));
      return {};
    default:
      return {};
  }
}

Qt::ItemFlags ReviewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  if (isResultColumn(index.column())) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ReviewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || isResultColumn(index.column())) return false;
  const int input = inputOf(index.column());
  if (input < 0) return false;
  table_.SetUser(UserDecimal());
  // An unchanged cell is no step.
  if (auto step = table_.EditStep(index.row(), input, value.toString().toStdString()))
    Push(std::move(*step), tr("Edit Cell"));
  return true;
}

}  // namespace kelmory::review
