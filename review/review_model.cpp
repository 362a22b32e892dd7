#include "review/review_model.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QLocale>
#include <QPalette>
#include <QStyle>
#include <QUndoStack>
#include <algorithm>
#include <cmath>

#include "engine/number_text.h"
#include "rows/cell_number.h"
#include "table/arm_columns.h"
#include "table/table_cells.h"

namespace kelmory::review {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One undo step: swapping its rows into the model applies it, swapping them
// back takes it back.
class RowsCommand final : public QUndoCommand {
 public:
  RowsCommand(ReviewModel* model, int first, int count, std::vector<ReviewRow> rows,
              std::optional<Record> header, const QString& text)
      : QUndoCommand(text),
        model_(model),
        first_(first),
        count_(count),
        rows_(std::move(rows)),
        header_(std::move(header)) {}
  void redo() override { model_->SwapRows(first_, count_, rows_, header_); }
  void undo() override { model_->SwapRows(first_, count_, rows_, header_); }

 private:
  ReviewModel* model_;
  int first_;
  int count_;
  std::vector<ReviewRow> rows_;
  std::optional<Record> header_;
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

QString ShownResult(const batch::RowResult& result, std::string_view column, char user) {
  // A number as a spreadsheet holds it: 15 significant digits. The file
  // keeps the shortest exact text.
  if (const std::optional<double> number = batch::ResultNumber(result, column))
    return Text(NumberText(*number, {.decimal_separator = std::string(1, user)}));
  return Text(batch::ResultCell(result, column, user));
}

}  // namespace

char UserDecimal() {
  const QString point = QLocale::system().decimalPoint();
  return point == QStringLiteral(",") ? ',' : '.';
}

ReviewModel::ReviewModel(QUndoStack* undo, QObject* parent)
    : QAbstractTableModel(parent), undo_(undo) {
  header_ = NewHeader();
  dialect_ = NewDialect();
  MapColumns();
}

void ReviewModel::MapColumns() {
  Changed();
  map_ = MapHeader(header_);
  batch::AddSkewedColumns(map_.columns, settings_.median);
  const auto added = batch::ResultColumns(map_.columns, {header_.begin(), header_.end()}, false);
  added_.clear();
  added_headings_.clear();
  added_arms_.clear();
  for (const batch::ResultColumn& column : added) {
    added_.push_back(column.name);
    added_headings_.push_back(column.heading);
    added_arms_.push_back(column.arm);
  }
  const auto& arms = map_.columns.arms;
  std::vector<int> arm_of(header_.size(), -1);
  for (std::size_t a = 0; a < arms.size(); ++a) {
    const auto own = [&](int i) {
      if (i >= 0 && static_cast<std::size_t>(i) < arm_of.size()) arm_of[i] = static_cast<int>(a);
    };
    for (const int i : arms[a].index) own(i);
    own(arms[a].sd);
  }
  slots_.clear();
  const auto add_results = [&](int arm) {
    for (std::size_t a = 0; a < added.size(); ++a) {
      if (added[a].arm == arm) slots_.push_back({-1, static_cast<int>(a), arm});
    }
  };
  for (std::size_t i = 0; i < header_.size(); ++i) {
    slots_.push_back({static_cast<int>(i), -1, arm_of[i]});
    // Each arm's results beside its last input column.
    for (std::size_t a = 0; a < arms.size(); ++a) {
      if (arms[a].last == static_cast<int>(i)) add_results(static_cast<int>(a));
    }
  }
  add_results(-1);
}

int ReviewModel::inputOf(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < slots_.size() ? slots_[column].input
                                                                         : -1;
}

int ReviewModel::addedOf(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < slots_.size() ? slots_[column].added
                                                                         : -1;
}

QString ReviewModel::resultName(int column) const {
  const int added = addedOf(column);
  return added >= 0 ? Text(added_[added]) : QString();
}

bool ReviewModel::isFilledColumn(int column) const {
  const int input = inputOf(column);
  if (input < 0) return false;
  if (input == map_.columns.sd || input == map_.columns.index[batch::kMean]) return true;
  return std::any_of(map_.columns.arms.begin(), map_.columns.arms.end(),
                     [&](const batch::ArmColumns& arm) {
                       return input == arm.sd || input == arm.index[batch::kMean];
                     });
}

int ReviewModel::armOf(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < slots_.size() ? slots_[column].arm : -1;
}

const batch::RowResult& ReviewModel::ResultFor(const ComputedRow& row, std::size_t added) const {
  const int arm = added < added_arms_.size() ? added_arms_[added] : -1;
  if (arm >= 0 && static_cast<std::size_t>(arm) < row.arms.size()) return row.arms[arm].result;
  return row.result;
}

const batch::RowResult* ReviewModel::FilledFrom(const ComputedRow& row, int input,
                                                std::string_view& name) const {
  if (input < 0) return nullptr;
  const auto& arms = map_.columns.arms;
  for (std::size_t a = 0; a < arms.size() && a < row.arms.size(); ++a) {
    const batch::TableRow& arm = row.arms[a];
    if (input == arms[a].sd && arm.sd_from_result && arm.result.sd) {
      name = "sd";
      return &arm.result;
    }
    if (input == arms[a].index[batch::kMean] && arms[a].fill_mean && arm.mean_from_result &&
        arm.result.estimated_mean) {
      name = "estimated_mean";
      return &arm.result;
    }
  }
  if (!arms.empty()) return nullptr;
  // Only a cell that shows a value: an se row's empty mean stays an input.
  if (input == map_.columns.sd && row.sd_from_result && row.result.sd) {
    name = "sd";
    return &row.result;
  }
  if (input == map_.columns.index[batch::kMean] && map_.columns.fill_mean && row.mean_from_result &&
      row.result.estimated_mean) {
    name = "estimated_mean";
    return &row.result;
  }
  return nullptr;
}

Record ReviewModel::NewHeader() {
  return {"study", "n", "se", "ci", "lower", "upper", "mean", "level", "z"};
}

batch::Dialect ReviewModel::NewDialect() {
  batch::Dialect dialect;
  dialect.decimal = UserDecimal();
  dialect.delimiter = dialect.decimal == ',' ? ';' : ',';
  return dialect;
}

void ReviewModel::Reset(Record header, std::vector<PackedCells> rows,
                        const batch::Dialect& dialect) {
  beginResetModel();
  header_ = std::move(header);
  rows_.clear();
  rows_.shrink_to_fit();
  rows_.reserve(rows.size());
  for (PackedCells& cells : rows) rows_.push_back({std::move(cells)});
  std::vector<PackedCells>().swap(rows);
  dialect_ = dialect;
  MapColumns();
  ++generation_;
  ComputeAll();
  endResetModel();
  undo_->clear();
  emit tableChanged();
}

void ReviewModel::SetSettings(batch::Method method, double level) {
  if (method == settings_.method && level == settings_.default_level.value) return;
  settings_.method = method;
  settings_.default_level = level;
  Recompute();
}

void ReviewModel::SetCorrelation(batch::CorrImputation corr, std::optional<double> value) {
  if (corr == settings_.corr &&
      (corr != batch::CorrImputation::Value || value == settings_.imputed_corr))
    return;
  settings_.corr = corr;
  settings_.imputed_corr = corr == batch::CorrImputation::Value ? value : std::nullopt;
  settings_.corr_rows = 0;
  Recompute();
}

void ReviewModel::SetMedian(batch::MedianMethod median) {
  if (median == settings_.median) return;
  beginResetModel();
  settings_.median = median;
  MapColumns();
  ++generation_;
  ComputeAll();
  endResetModel();
  emit tableChanged();
}

bool ReviewModel::RefreshTableCorrelation() {
  if (settings_.corr != batch::CorrImputation::Table) return false;
  // The batch's own mean, through Fisher's z, of the rows' correlations.
  batch::BatchSummary gathered;
  for (const ReviewRow& row : rows_) {
    if (std::isnan(row.corr_estimated)) continue;
    ++gathered.correlations;
    gathered.fisher_z_sum += std::atanh(std::clamp(row.corr_estimated, -1 + 1e-12, 1 - 1e-12));
  }
  const std::optional<double> mean = batch::MeanCorrelation(gathered);
  if (mean == settings_.imputed_corr && gathered.correlations == settings_.corr_rows) return false;
  settings_.imputed_corr = mean;
  settings_.corr_rows = gathered.correlations;
  ++generation_;
  const char user = UserDecimal();
  Changed();
  for (ReviewRow& row : rows_) Mark(row, map_, user, generation_);
  return true;
}

void ReviewModel::Recompute() {
  ++generation_;
  Changed();
  ComputeAll();
  if (!rows_.empty()) {
    emit dataChanged(index(0, 0), index(storedRows() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, 0, storedRows() - 1);
  }
  emit tableChanged();
}

ColumnMap MapHeader(const Record& header) {
  ColumnMap map;
  map.width = header.size();
  map.columns = batch::ReadTableColumns({header.begin(), header.end()});
  map.kind.assign(header.size(), kText);
  const auto mark = [&](int i, CellKind kind) {
    if (i >= 0 && static_cast<std::size_t>(i) < map.kind.size()) map.kind[i] = kind;
  };
  mark(map.columns.sd, kNumber);
  for (int c = 0; c < batch::kColumnCount; ++c)
    mark(map.columns.index[c], c == batch::kLevel ? kPercent : kNumber);
  for (const batch::SubgroupColumns& subgroup : map.columns.subgroups) {
    for (const int i : subgroup.index) mark(i, kNumber);
  }
  for (const batch::ArmColumns& arm : map.columns.arms) {
    mark(arm.sd, kNumber);
    for (int c = 0; c < batch::kColumnCount; ++c)
      mark(arm.index[c], c == batch::kLevel ? kPercent : kNumber);
  }
  return map;
}

CellKind ReviewModel::KindOf(int input) const {
  return input >= 0 && input < inputColumns() ? map_.kind[input] : kText;
}

void ReviewModel::Compute(const PackedCells& cells, const ColumnMap& map, char user, bool working,
                          ComputedRow& row) const {
  row.result = {};
  row.sd_from_result = row.mean_from_result = false;
  row.arms.clear();
  // As the batch reads them: a row of empty cells is passed over, one with
  // filled cells past the header is refused.
  std::size_t filled = 0, past = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (batch::IsEmptyCell(cells[i])) continue;
    ++filled;
    past += i >= map.width;
  }
  if (filled == 0) return;
  row.result.refusal = batch::PastHeaderRefusal(past);
  if (!row.result.refusal.empty()) return;

  if (!map.columns.problem.empty()) {
    row.result.refusal = map.columns.problem;
    return;
  }

  // In the user's separator where every number cell is a number in the
  // table's own: the same values, and warnings and working in the user's
  // separator. Otherwise in the table's, which refuses the row as the
  // batch does.
  batch::RowSettings settings = settings_;
  settings.working = working;
  settings.decimal = dialect_.decimal;
  row_view_.clear();
  cells.AppendViews(row_view_);
  bool all_numbers = user != dialect_.decimal;
  for (std::size_t i = 0; i < cells.size() && i < map.width && all_numbers; ++i) {
    all_numbers =
        map.kind[i] == kText || batch::IsEmptyCell(cells[i]) ||
        batch::ParseCellNumber(cells[i], dialect_.decimal, map.kind[i] == kPercent).kind !=
            batch::CellNumber::Kind::NotANumber;
  }
  if (all_numbers) {
    moved_.resize(cells.size());
    for (std::size_t i = 0; i < cells.size() && i < map.width; ++i) {
      if (map.kind[i] == kText) continue;
      moved_[i] = MoveDecimal(cells[i], dialect_.decimal, user, map.kind[i] == kPercent);
      row_view_[i] = moved_[i];
    }
    settings.decimal = user;
  }
  if (!map.columns.arms.empty()) {
    batch::ConvertArmsRow(map.columns, row_view_, settings, cache_, row_cells_, row.arms);
    // The row sums its arms up under their labels.
    const auto labelled = [&](std::string& out, std::string_view label, std::string_view text,
                              std::string_view between) {
      if (text.empty()) return;
      if (!out.empty()) out.append(between);
      out.append(label).append(": ").append(text);
    };
    for (std::size_t a = 0; a < row.arms.size(); ++a) {
      const std::string& label = map.columns.arms[a].label;
      const batch::RowResult& arm = row.arms[a].result;
      labelled(row.result.warning, label, arm.warning, "; ");
      labelled(row.result.refusal, label, arm.refusal, "; ");
      if (!working) continue;
      if (!row.result.working.empty()) row.result.working.append("\r\n\r\n");
      row.result.working.append("Arm ").append(label).append("\r\n");
      if (!arm.working.empty()) {
        row.result.working.append(arm.working);
      } else if (arm.method == "reported") {
        row.result.working.append("The table reports the SD: it is kept.");
      } else {
        row.result.working.append(arm.refusal);
      }
    }
    return;
  }
  batch::TableRow converted =
      batch::ConvertTableRow(map.columns, row_view_, settings, cache_, row_cells_);
  row.result = std::move(converted.result);
  row.sd_from_result = converted.sd_from_result;
  row.mean_from_result = converted.mean_from_result;
}

void ReviewModel::Mark(ReviewRow& row, const ColumnMap& map, char user, std::uint32_t stamp) const {
  Compute(row.cells, map, user, false, scratch_);
  const batch::RowResult& result = scratch_.result;
  row.mark = !result.refusal.empty()   ? RowMark::Refused
             : !result.warning.empty() ? RowMark::Warning
                                       : RowMark::None;
  row.corr_estimated = result.corr_estimated.value_or(std::numeric_limits<double>::quiet_NaN());
  row.stamp = stamp;
}

void ReviewModel::ComputeAll() {
  const char user = UserDecimal();
  for (ReviewRow& row : rows_) {
    if (row.stamp != generation_) Mark(row, map_, user, generation_);
  }
  RefreshTableCorrelation();
}

const ComputedRow& ReviewModel::ResultOf(int row) const {
  Shown& shown = shown_[static_cast<std::size_t>(row) % shown_.size()];
  if (shown.row != row || shown.version != version_) {
    Compute(rows_[row].cells, map_, UserDecimal(), false, shown.computed);
    shown.row = row;
    shown.version = version_;
  }
  return shown.computed;
}

QString ReviewModel::workingText(int row) const {
  if (row < 0 || row >= storedRows()) return {};
  ComputedRow computed;
  Compute(rows_[row].cells, map_, UserDecimal(), true, computed);
  QString text = Text(computed.result.working);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

Tally ReviewModel::tally() const {
  Tally tally;
  tally.rows = rows_.size();
  for (const ReviewRow& row : rows_) {
    tally.warnings += row.mark == RowMark::Warning;
    tally.refused += row.mark == RowMark::Refused;
  }
  return tally;
}

std::string ReviewModel::InputText() const {
  std::string text;
  if (dialect_.bom) text.append("\xEF\xBB\xBF");
  if (dialect_.sep_line) {
    text.append("sep=").push_back(dialect_.delimiter);
    text.append(dialect_.line_end);
  }
  // Every cell in quotes: a row of empty cells stays a row.
  const auto line = [&](const auto& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i) text.push_back(dialect_.delimiter);
      AppendQuoted(text, cells[i]);
    }
    if (cells.empty()) text.append("\"\"");
    text.append(dialect_.line_end);
  };
  line(header_);
  for (const ReviewRow& row : rows_) line(row.cells);
  return text;
}

bool ReviewModel::IsFilled(const ReviewRow& row) const {
  for (std::size_t i = 0; i < row.cells.size(); ++i) {
    if (!batch::IsEmptyCell(row.cells[i])) return true;
  }
  return false;
}

ReviewRow ReviewModel::EmptyRow() const { return {PackedCells(header_.size())}; }

void ReviewModel::Push(int first, int count, std::vector<ReviewRow> rows,
                       std::optional<Record> header, const QString& text) {
  undo_->push(new RowsCommand(this, first, count, std::move(rows), std::move(header), text));
}

void ReviewModel::SwapRows(int first, int& count, std::vector<ReviewRow>& other,
                           std::optional<Record>& header) {
  Changed();
  if (header) {
    beginResetModel();
    std::swap(header_, *header);
    MapColumns();
    ++generation_;
  }
  const int incoming = static_cast<int>(other.size());
  const int common = std::min(count, incoming);
  for (int i = 0; i < common; ++i) std::swap(rows_[first + i], other[i]);
  // Rows added at the end fill the row to type into, which moves below
  // them: a cursor in it stays on the row just typed.
  const bool append = !header && count == 0 && first == storedRows();
  if (incoming > count) {
    const int at = append ? first + 1 : first + count;
    if (!header) beginInsertRows({}, at, at + incoming - count - 1);
    rows_.insert(rows_.begin() + first + count, std::make_move_iterator(other.begin() + count),
                 std::make_move_iterator(other.end()));
    other.resize(count);
    if (!header) endInsertRows();
  } else if (incoming < count) {
    if (!header) beginRemoveRows({}, first + incoming, first + count - 1);
    other.insert(other.end(), std::make_move_iterator(rows_.begin() + first + incoming),
                 std::make_move_iterator(rows_.begin() + first + count));
    rows_.erase(rows_.begin() + first + incoming, rows_.begin() + first + count);
    if (!header) endRemoveRows();
  }
  // The settings may have changed since the rows were last in the table.
  if (header) {
    ComputeAll();
    endResetModel();
  } else {
    const char user = UserDecimal();
    for (int i = 0; i < incoming; ++i) {
      ReviewRow& row = rows_[first + i];
      if (row.stamp != generation_) Mark(row, map_, user, generation_);
    }
    const int changed = append && incoming > 0 ? 1 : common;
    if (RefreshTableCorrelation() && !rows_.empty()) {
      emit dataChanged(index(0, 0), index(storedRows() - 1, columnCount() - 1));
      emit headerDataChanged(Qt::Vertical, 0, storedRows() - 1);
    } else if (changed > 0) {
      emit dataChanged(index(first, 0), index(first + changed - 1, columnCount() - 1));
      emit headerDataChanged(Qt::Vertical, first, first + changed - 1);
    }
  }
  count = incoming;
  emit tableChanged();
}

bool ReviewModel::PasteBlock(std::vector<PackedCells> block, const QModelIndex& at,
                             const Progress& progress) {
  if (block.empty()) return true;
  // The new rows are computed here, where a long paste can be stopped,
  // stamped for the generation they go in with.
  const auto compute = [&](std::vector<ReviewRow>& rows, const ColumnMap& map,
                           std::uint32_t stamp) {
    const char user = UserDecimal();
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (progress && r % 1024 == 0 && !progress(r, rows.size())) return false;
      Mark(rows[r], map, user, stamp);
    }
    return true;
  };
  const char user = UserDecimal();
  const auto stored = [&](std::string_view cell, CellKind kind) {
    return kind == kText ? std::string(cell)
                         : FromUser(cell, user, dialect_.decimal, kind == kPercent);
  };

  // A header is one the batch can read (it names n) with one more of the
  // columns the rows are read by. An earlier result block is left out, as
  // the batch leaves it out: its columns are made again here.
  // Rows copied from a table of arms hold each arm's results beside its
  // columns: they go where a file holds them, after the sheet's.
  {
    std::vector<std::string> lower;
    for (std::size_t i = 0; i < block.front().size(); ++i)
      lower.push_back(batch::Lower(block.front()[i]));
    const std::vector<std::size_t> order = batch::FileOrder(lower);
    if (!std::is_sorted(order.begin(), order.end())) {
      std::vector<std::string_view> ordered;
      for (PackedCells& record : block) {
        if (record.size() < order.size()) record.Resize(order.size());
        ordered.clear();
        for (const std::size_t i : order) ordered.push_back(record[i]);
        for (std::size_t i = order.size(); i < record.size(); ++i) ordered.push_back(record[i]);
        record = PackedCells(ordered);
      }
    }
  }
  const Record first = block.front().ToStrings();
  const batch::TableColumns pasted = batch::ReadTableColumns({first.begin(), first.end()});
  const Record names(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(pasted.width));
  const ColumnMap named = MapHeader(names);
  if (named.columns.problem.empty() && std::count_if(named.kind.begin(), named.kind.end(),
                                                     [](CellKind k) { return k != kText; }) >= 2) {
    const bool empty = std::none_of(rows_.begin(), rows_.end(),
                                    [this](const ReviewRow& row) { return IsFilled(row); });
    Record header = empty ? Record() : header_;
    // Where each pasted column goes.
    std::vector<int> target(names.size(), -1);
    for (std::size_t j = 0; j < names.size(); ++j) {
      const std::string lower = batch::Lower(names[j]);
      auto found = std::find_if(header.begin(), header.end(), [&](const std::string& name) {
        return batch::Lower(name) == lower;
      });
      if (empty || found == header.end() ||
          std::find(target.begin(), target.end(), found - header.begin()) != target.end()) {
        header.push_back(names[j]);
        found = header.end() - 1;
      }
      target[j] = static_cast<int>(found - header.begin());
    }
    const ColumnMap map = MapHeader(header);
    const std::vector<CellKind>& kind = map.kind;
    std::vector<ReviewRow> rows;
    rows.reserve(block.size() - 1);
    // Columns in the header's own places, as in a paste into an empty
    // table: the pasted cells become the row.
    bool in_place = target.size() == header.size();
    for (std::size_t j = 0; j < target.size() && in_place; ++j)
      in_place = target[j] == static_cast<int>(j);
    // Each pasted row goes as soon as its row is made: a long paste is never
    // held twice over.
    Record cells, placed;
    for (std::size_t r = 1; r < block.size(); ++r) {
      cells = block[r].ToStrings();
      block[r] = PackedCells();
      batch::KeepUserCells(pasted, first.size(), cells);
      if (in_place) {
        if (cells.size() > header.size()) cells.resize(header.size());
        for (std::size_t j = 0; j < cells.size(); ++j) {
          if (kind[j] != kText) cells[j] = stored(cells[j], kind[j]);
        }
        rows.push_back({PackedCells(cells)});
      } else {
        placed.assign(header.size(), std::string());
        for (std::size_t j = 0; j < cells.size() && j < target.size(); ++j) {
          if (target[j] >= 0) placed[target[j]] = stored(cells[j], kind[target[j]]);
        }
        rows.push_back({PackedCells(placed)});
      }
    }
    std::vector<PackedCells>().swap(block);
    int start = storedRows();
    while (start > 0 && !IsFilled(rows_[start - 1])) --start;
    std::optional<Record> new_header;
    if (header != header_) new_header = std::move(header);
    if (!compute(rows, new_header ? map : map_, new_header ? generation_ + 1 : generation_))
      return false;
    Push(start, storedRows() - start, std::move(rows), std::move(new_header), tr("Paste"));
    return true;
  }

  // No header: the cells go from the current one on.
  const int top = at.isValid() ? at.row() : 0;
  const int left = at.isValid() && inputOf(at.column()) >= 0 ? inputOf(at.column()) : 0;
  const int count = std::min<int>(storedRows() - top, static_cast<int>(block.size()));
  std::vector<ReviewRow> rows;
  rows.reserve(block.size());
  for (std::size_t r = 0; r < block.size(); ++r) {
    const int target = top + static_cast<int>(r);
    Record cells = (target < storedRows() ? rows_[target] : EmptyRow()).cells.ToStrings();
    for (std::size_t j = 0; j < block[r].size(); ++j) {
      const int column = left + static_cast<int>(j);
      if (column >= inputColumns()) break;
      if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(column + 1);
      cells[column] = stored(block[r][j], KindOf(column));
    }
    rows.push_back({PackedCells(cells)});
  }
  if (!compute(rows, map_, generation_)) return false;
  Push(top, std::max(count, 0), std::move(rows), std::nullopt, tr("Paste"));
  return true;
}

void ReviewModel::InsertRow(int row) {
  row = std::clamp(row, 0, storedRows());
  std::vector<ReviewRow> rows;
  rows.push_back(EmptyRow());
  Push(row, 0, std::move(rows), std::nullopt, tr("Insert Row"));
}

void ReviewModel::DeleteRows(std::vector<int> rows) {
  std::erase_if(rows, [this](int row) { return row < 0 || row >= storedRows(); });
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  const int first = rows.front(), last = rows.back();
  std::vector<ReviewRow> kept;
  for (int r = first, k = 0; r <= last; ++r) {
    if (rows[k] == r) {
      ++k;
      continue;
    }
    kept.push_back(rows_[r]);
  }
  Push(first, last - first + 1, std::move(kept), std::nullopt, tr("Delete Rows"));
}

void ReviewModel::ClearCells(const QModelIndexList& cells) {
  int first = storedRows(), last = -1;
  for (const QModelIndex& cell : cells) {
    if (cell.row() >= storedRows() || isResultColumn(cell.column())) continue;
    first = std::min(first, cell.row());
    last = std::max(last, cell.row());
  }
  if (last < 0) return;
  std::vector<ReviewRow> rows(rows_.begin() + first, rows_.begin() + last + 1);
  bool changed = false;
  for (const QModelIndex& cell : cells) {
    if (cell.row() >= storedRows() || isResultColumn(cell.column())) continue;
    ReviewRow& row = rows[cell.row() - first];
    const int input = inputOf(cell.column());
    if (input < 0 || static_cast<std::size_t>(input) >= row.cells.size()) continue;
    if (row.cells[input].empty()) continue;
    row.cells.Set(input, {});
    row.stamp = 0;
    changed = true;
  }
  if (changed) Push(first, last - first + 1, std::move(rows), std::nullopt, tr("Clear Cells"));
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
  std::string block;
  if (bottom < 0) return block;
  std::vector<std::string> cells;
  if (header) {
    for (int c = left; c <= right; ++c)
      cells.push_back(headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
    AppendTabLine(block, cells);
  }
  for (int r = top; r <= bottom; ++r) {
    cells.clear();
    for (int c = left; c <= right; ++c)
      cells.push_back(data(index(r, c), Qt::DisplayRole).toString().toStdString());
    AppendTabLine(block, cells);
  }
  return block;
}

int ReviewModel::rowCount(const QModelIndex& parent) const {
  // The last row is where a new row is typed.
  return parent.isValid() ? 0 : storedRows() + 1;
}

int ReviewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : inputColumns() + static_cast<int>(added_.size());
}

QVariant ReviewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= storedRows()) return {};
  const ReviewRow& row = rows_[index.row()];
  const ComputedRow& computed = ResultOf(index.row());
  const int added = addedOf(index.column());
  const int column = inputOf(index.column());
  const bool result = added >= 0;
  const std::string_view name = result ? added_[added] : std::string_view();
  // The arm's own result in a table of arms.
  const batch::RowResult& shown = result ? ResultFor(computed, added) : computed.result;
  // An sd or mean cell the result fills is drawn as a result; typing into
  // it makes it the user's.
  std::string_view filled_name;
  const batch::RowResult* filled = FilledFrom(computed, column, filled_name);
  const bool filled_in = filled != nullptr;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
      if (result) return ShownResult(shown, name, UserDecimal());
      if (filled_in && role == Qt::DisplayRole)
        return ShownResult(*filled, filled_name, UserDecimal());
      if (column < 0 || static_cast<std::size_t>(column) >= row.cells.size()) return QString();
      const CellKind kind = map_.kind[column];
      if (kind == kText) return Text(row.cells[column]);
      return Text(
          MoveDecimal(row.cells[column], dialect_.decimal, UserDecimal(), kind == kPercent));
    }
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
    const int added = addedOf(section);
    const std::string_view name = added >= 0 ? added_[added] : header_[inputOf(section)];
    if (role == Qt::DisplayRole) return added >= 0 ? Text(added_headings_[added]) : Text(name);
    const int arm = armOf(section);
    if (role == Qt::ToolTipRole) {
      const QString tip = ColumnTip(ArmBase(batch::Lower(name)));
      if (arm < 0) return tip;
      return tr("Arm %1: %2").arg(Text(map_.columns.arms[arm].label), tip);
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

bool ReviewModel::IsFilledIn(int row, int input) const {
  if (row < 0 || row >= storedRows()) return false;
  std::string_view name;
  return FilledFrom(ResultOf(row), input, name) != nullptr;
}

std::string ReviewModel::SavedCell(int row, int input) const {
  if (row < 0 || row >= storedRows() || input < 0) return {};
  std::string_view name;
  if (const batch::RowResult* filled = FilledFrom(ResultOf(row), input, name))
    return batch::ResultCell(*filled, name, dialect_.decimal);
  const PackedCells& cells = rows_[row].cells;
  return static_cast<std::size_t>(input) < cells.size() ? std::string(cells[input]) : std::string();
}

Qt::ItemFlags ReviewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  if (isResultColumn(index.column())) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ReviewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || isResultColumn(index.column())) return false;
  const int r = index.row(), column = inputOf(index.column());
  if (column < 0) return false;
  ReviewRow row = r < storedRows() ? rows_[r] : EmptyRow();
  if (row.cells.size() <= static_cast<std::size_t>(column)) row.cells.Resize(column + 1);
  const CellKind kind = map_.kind[column];
  const std::string typed = value.toString().toStdString();
  std::string cell =
      kind == kText ? typed : FromUser(typed, UserDecimal(), dialect_.decimal, kind == kPercent);
  if (r < storedRows() && cell == row.cells[column]) return true;
  if (r == storedRows() && cell.empty()) return true;
  row.cells.Set(column, cell);
  row.stamp = 0;  // its result is to be made again
  std::vector<ReviewRow> rows;
  rows.push_back(std::move(row));
  Push(r, r < storedRows() ? 1 : 0, std::move(rows), std::nullopt, tr("Edit Cell"));
  return true;
}

}  // namespace kelmory::review
