#include "table/study_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/number_text.h"
#include "rows/cell_number.h"
#include "table/arm_columns.h"
#include "table/table_cells.h"

namespace kelmory::table {
namespace {

batch::ByteSource FromMemory(std::string_view bytes) {
  return [bytes](char* buffer, std::size_t size) mutable -> std::ptrdiff_t {
    const std::size_t count = std::min(size, bytes.size());
    if (count) std::memcpy(buffer, bytes.data(), count);
    bytes.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  };
}

std::string ResultText(const batch::RowResult& result, std::string_view column, char user,
                       Digits digits) {
  if (digits == Digits::Spreadsheet) {
    if (const std::optional<double> number = batch::ResultNumber(result, column))
      return NumberText(*number, {.decimal_separator = std::string(1, user)});
  }
  return batch::ResultCell(result, column, user);
}

// The rows that exist, ascending, once each.
std::vector<int> Existing(std::vector<int> rows, int count) {
  std::erase_if(rows, [count](int row) { return row < 0 || row >= count; });
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace

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

StudyTable::StudyTable(char user) : user_(user) {
  header_ = NewHeader();
  dialect_ = NewDialect(user);
  MapColumns();
}

Record StudyTable::NewHeader() {
  return {"study", "n", "se", "ci", "lower", "upper", "mean", "level", "z"};
}

batch::Dialect StudyTable::NewDialect(char user) {
  batch::Dialect dialect;
  dialect.decimal = user;
  dialect.delimiter = user == ',' ? ';' : ',';
  return dialect;
}

void StudyTable::MapColumns() {
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

void StudyTable::Reset(Record header, std::vector<PackedCells> rows,
                       const batch::Dialect& dialect) {
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
}

Outcome StudyTable::Open(std::string_view bytes) {
  Record header;
  std::vector<PackedCells> rows;
  bool first = true;
  batch::BatchOptions options;
  std::vector<std::string> record;
  batch::TableColumns columns;
  options.on_record = [&](std::span<const std::string_view> cells) {
    if (first) {
      header.assign(cells.begin(), cells.end());
      columns = batch::ReadTableColumns({header.begin(), header.end()});
      first = false;
      return;
    }
    // An earlier result (a saved table) is read as the batch reads it: its
    // columns are made again, the user's cells stay.
    record.assign(cells.begin(), cells.end());
    batch::KeepUserCells(columns, header.size(), record);
    rows.emplace_back(record);
  };
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(bytes), [](std::string_view) { return true; }, options);
  if (summary.status == 2) return {false, summary.message};
  header.resize(columns.width);
  Reset(std::move(header), std::move(rows), summary.dialect);
  return {};
}

void StudyTable::SetUser(char user) {
  if (user == user_) return;
  user_ = user;
  Recompute();
}

bool StudyTable::SetSettings(batch::Method method, const batch::Level& level) {
  if (method == settings_.method && level == settings_.default_level) return false;
  settings_.method = method;
  settings_.default_level = level;
  Recompute();
  return true;
}

bool StudyTable::SetCorrelation(batch::CorrImputation corr, std::optional<double> value) {
  if (corr == settings_.corr &&
      (corr != batch::CorrImputation::Value || value == settings_.imputed_corr))
    return false;
  settings_.corr = corr;
  settings_.imputed_corr = corr == batch::CorrImputation::Value ? value : std::nullopt;
  settings_.corr_rows = 0;
  Recompute();
  return true;
}

bool StudyTable::SetMedian(batch::MedianMethod median) {
  if (median == settings_.median) return false;
  settings_.median = median;
  MapColumns();
  ++generation_;
  ComputeAll();
  return true;
}

void StudyTable::Recompute() {
  ++generation_;
  Changed();
  ComputeAll();
}

bool StudyTable::RefreshTableCorrelation() {
  if (settings_.corr != batch::CorrImputation::Table) return false;
  // The batch's own mean, through Fisher's z, of the rows' correlations.
  batch::BatchSummary gathered;
  for (const StudyRow& row : rows_) {
    if (std::isnan(row.corr_estimated)) continue;
    ++gathered.correlations;
    gathered.fisher_z_sum += std::atanh(std::clamp(row.corr_estimated, -1 + 1e-12, 1 - 1e-12));
  }
  const std::optional<double> mean = batch::MeanCorrelation(gathered);
  if (mean == settings_.imputed_corr && gathered.correlations == settings_.corr_rows) return false;
  settings_.imputed_corr = mean;
  settings_.corr_rows = gathered.correlations;
  ++generation_;
  Changed();
  for (StudyRow& row : rows_) Mark(row, map_, generation_);
  return true;
}

int StudyTable::InputOf(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < slots_.size() ? slots_[column].input
                                                                         : -1;
}

int StudyTable::AddedOf(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < slots_.size() ? slots_[column].added
                                                                         : -1;
}

int StudyTable::ArmOf(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < slots_.size() ? slots_[column].arm : -1;
}

bool StudyTable::IsFilledColumn(int column) const {
  const int input = InputOf(column);
  if (input < 0) return false;
  if (input == map_.columns.sd || input == map_.columns.index[batch::kMean]) return true;
  return std::any_of(map_.columns.arms.begin(), map_.columns.arms.end(),
                     [&](const batch::ArmColumns& arm) {
                       return input == arm.sd || input == arm.index[batch::kMean];
                     });
}

std::string StudyTable::Heading(int column) const {
  const int added = AddedOf(column);
  if (added >= 0) return added_headings_[added];
  const int input = InputOf(column);
  return input >= 0 ? header_[input] : std::string();
}

std::string StudyTable::ColumnName(int column) const {
  const int added = AddedOf(column);
  if (added >= 0) return std::string(added_[added]);
  const int input = InputOf(column);
  return input >= 0 ? batch::Lower(header_[input]) : std::string();
}

CellKind StudyTable::KindOf(int input) const {
  return input >= 0 && input < inputColumns() ? map_.kind[input] : kText;
}

const batch::RowResult& StudyTable::ResultFor(const ComputedRow& row, std::size_t added) const {
  const int arm = added < added_arms_.size() ? added_arms_[added] : -1;
  if (arm >= 0 && static_cast<std::size_t>(arm) < row.arms.size()) return row.arms[arm].result;
  return row.result;
}

const batch::RowResult* StudyTable::FilledFrom(const ComputedRow& row, int input,
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

void StudyTable::Compute(const PackedCells& cells, const ColumnMap& map, bool working,
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
  bool all_numbers = user_ != dialect_.decimal;
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
      moved_[i] = MoveDecimal(cells[i], dialect_.decimal, user_, map.kind[i] == kPercent);
      row_view_[i] = moved_[i];
    }
    settings.decimal = user_;
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

void StudyTable::Mark(StudyRow& row, const ColumnMap& map, std::uint32_t stamp) const {
  Compute(row.cells, map, false, scratch_);
  const batch::RowResult& result = scratch_.result;
  row.mark = !result.refusal.empty()   ? RowMark::Refused
             : !result.warning.empty() ? RowMark::Warning
                                       : RowMark::None;
  row.corr_estimated = result.corr_estimated.value_or(std::numeric_limits<double>::quiet_NaN());
  row.stamp = stamp;
}

void StudyTable::ComputeAll() {
  for (StudyRow& row : rows_) {
    if (row.stamp != generation_) Mark(row, map_, generation_);
  }
  RefreshTableCorrelation();
}

const ComputedRow& StudyTable::ResultOf(int row) const {
  Shown& shown = shown_[static_cast<std::size_t>(row) % shown_.size()];
  if (shown.row != row || shown.version != version_) {
    Compute(rows_[row].cells, map_, false, shown.computed);
    shown.row = row;
    shown.version = version_;
  }
  return shown.computed;
}

bool StudyTable::IsFilledIn(int row, int input) const {
  if (row < 0 || row >= storedRows()) return false;
  std::string_view name;
  return FilledFrom(ResultOf(row), input, name) != nullptr;
}

std::string StudyTable::Cell(int row, int column, Digits digits, bool as_typed) const {
  if (row < 0 || row >= storedRows() || column < 0 || column >= columns()) return {};
  const ComputedRow& computed = ResultOf(row);
  const int added = AddedOf(column);
  if (added >= 0) return ResultText(ResultFor(computed, added), added_[added], user_, digits);
  const int input = InputOf(column);
  std::string_view name;
  if (!as_typed) {
    if (const batch::RowResult* filled = FilledFrom(computed, input, name))
      return ResultText(*filled, name, user_, digits);
  }
  const PackedCells& cells = rows_[row].cells;
  if (input < 0 || static_cast<std::size_t>(input) >= cells.size()) return {};
  const CellKind kind = map_.kind[input];
  if (kind == kText) return std::string(cells[input]);
  return MoveDecimal(cells[input], dialect_.decimal, user_, kind == kPercent);
}

std::string StudyTable::SavedCell(int row, int input) const {
  if (row < 0 || row >= storedRows() || input < 0) return {};
  std::string_view name;
  if (const batch::RowResult* filled = FilledFrom(ResultOf(row), input, name))
    return batch::ResultCell(*filled, name, dialect_.decimal);
  const PackedCells& cells = rows_[row].cells;
  return static_cast<std::size_t>(input) < cells.size() ? std::string(cells[input]) : std::string();
}

std::string StudyTable::WorkingText(int row) const {
  if (row < 0 || row >= storedRows()) return {};
  ComputedRow computed;
  Compute(rows_[row].cells, map_, true, computed);
  std::string text = std::move(computed.result.working);
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[out++] = text[i];
  }
  text.resize(out);
  return text;
}

Tally StudyTable::tally() const {
  Tally tally;
  tally.rows = rows_.size();
  for (const StudyRow& row : rows_) {
    tally.warnings += row.mark == RowMark::Warning;
    tally.refused += row.mark == RowMark::Refused;
  }
  return tally;
}

std::string StudyTable::CopyBlock(int top, int left, int bottom, int right, bool header,
                                  Digits digits) const {
  top = std::max(top, 0);
  bottom = std::min(bottom, storedRows() - 1);
  left = std::max(left, 0);
  right = std::min(right, columns() - 1);
  std::string block;
  if (left > right || (top > bottom && !header)) return block;
  std::vector<std::string> cells;
  if (header) {
    for (int c = left; c <= right; ++c) cells.push_back(Heading(c));
    AppendTabLine(block, cells);
  }
  for (int r = top; r <= bottom; ++r) {
    cells.clear();
    for (int c = left; c <= right; ++c) cells.push_back(Cell(r, c, digits));
    AppendTabLine(block, cells);
  }
  return block;
}

std::string StudyTable::InputText() const {
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
  for (const StudyRow& row : rows_) line(row.cells);
  return text;
}

batch::BatchOptions StudyTable::SaveOptions() const {
  batch::BatchOptions options;
  options.method = settings_.method;
  options.level = settings_.default_level;
  options.delimiter = dialect_.delimiter;
  options.decimal = dialect_.decimal;
  options.working = true;
  options.corr = settings_.corr;
  options.imputed_corr = settings_.imputed_corr;
  options.corr_rows = settings_.corr_rows;
  options.median = settings_.median;
  return options;
}

Outcome StudyTable::Save(std::string& out) const {
  out.clear();
  const std::string input = InputText();
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(input),
      [&](std::string_view bytes) {
        out.append(bytes);
        return true;
      },
      SaveOptions());
  if (summary.status == 2) {
    out.clear();
    return {false, summary.message};
  }
  return {};
}

bool StudyTable::IsFilled(const StudyRow& row) {
  for (std::size_t i = 0; i < row.cells.size(); ++i) {
    if (!batch::IsEmptyCell(row.cells[i])) return true;
  }
  return false;
}

StudyRow StudyTable::EmptyRow() const { return {PackedCells(header_.size())}; }

std::string StudyTable::Stored(std::string_view cell, CellKind kind) const {
  return kind == kText ? std::string(cell)
                       : FromUser(cell, user_, dialect_.decimal, kind == kPercent);
}

bool StudyTable::Swap(Step& step) {
  Changed();
  std::vector<StudyRow>& other = step.rows;
  const int first = step.first, count = step.count;
  if (step.header) {
    std::swap(header_, *step.header);
    MapColumns();
    ++generation_;
  }
  const int incoming = static_cast<int>(other.size());
  const int common = std::min(count, incoming);
  for (int i = 0; i < common; ++i) std::swap(rows_[first + i], other[i]);
  if (rows_.empty() && count == 0) {
    // A paste into an empty table: the rows change places whole.
    std::swap(rows_, other);
  } else if (incoming > count) {
    rows_.insert(rows_.begin() + first + count, std::make_move_iterator(other.begin() + count),
                 std::make_move_iterator(other.end()));
    other.resize(count);
  } else if (incoming < count) {
    other.insert(other.end(), std::make_move_iterator(rows_.begin() + first + incoming),
                 std::make_move_iterator(rows_.begin() + first + count));
    rows_.erase(rows_.begin() + first + incoming, rows_.begin() + first + count);
  }
  step.count = incoming;
  // The settings may have changed since the rows were last in the table.
  if (step.header) {
    ComputeAll();
    return false;
  }
  for (int i = 0; i < incoming; ++i) {
    StudyRow& row = rows_[first + i];
    if (row.stamp != generation_) Mark(row, map_, generation_);
  }
  return RefreshTableCorrelation();
}

std::optional<Step> StudyTable::PasteStep(std::vector<PackedCells> block, int top, int left,
                                          const Progress& progress, PasteDialect fresh) {
  // The new rows are computed here, where a long paste can be stopped,
  // stamped for the generation they go in with.
  const auto compute = [&](std::vector<StudyRow>& rows, const ColumnMap& map, std::uint32_t stamp) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (progress && r % 1024 == 0 && !progress(r, rows.size())) return false;
      Mark(rows[r], map, stamp);
    }
    return true;
  };
  if (block.empty()) return Step{std::clamp(top, 0, storedRows()), 0, {}, std::nullopt};

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
    const bool empty =
        std::none_of(rows_.begin(), rows_.end(), [](const StudyRow& row) { return IsFilled(row); });
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
    if (empty && fresh == PasteDialect::Fresh) dialect_ = NewDialect(user_);
    std::vector<StudyRow> rows;
    rows.reserve(block.size() - 1);
    // Columns in the header's own places, as in a paste into an empty
    // table: the pasted cells become the row.
    bool in_place = target.size() == header.size();
    for (std::size_t j = 0; j < target.size() && in_place; ++j)
      in_place = target[j] == static_cast<int>(j);
    // Each pasted row goes as soon as its row is made: a long paste is never
    // held twice over.
    // Rows of the common kind stay packed as they came: in the header's
    // places, no earlier result block to clear (one would end the user's
    // columns before the header's end), no separator to move.
    const bool plain = in_place && pasted.width == first.size();
    const auto as_is = [&](const PackedCells& record) {
      if (!plain || record.size() > header.size()) return false;
      for (std::size_t j = 0; j < record.size(); ++j) {
        if (kind[j] != kText && MayMoveSeparator(record[j], user_, dialect_.decimal)) return false;
      }
      return true;
    };
    Record cells, placed;
    for (std::size_t r = 1; r < block.size(); ++r) {
      if (as_is(block[r])) {
        rows.push_back({std::move(block[r])});
        continue;
      }
      cells = block[r].ToStrings();
      block[r] = PackedCells();
      batch::KeepUserCells(pasted, first.size(), cells);
      if (in_place) {
        if (cells.size() > header.size()) cells.resize(header.size());
        for (std::size_t j = 0; j < cells.size(); ++j) {
          if (kind[j] != kText) cells[j] = Stored(cells[j], kind[j]);
        }
        rows.push_back({PackedCells(cells)});
      } else {
        placed.assign(header.size(), std::string());
        for (std::size_t j = 0; j < cells.size() && j < target.size(); ++j) {
          if (target[j] >= 0) placed[target[j]] = Stored(cells[j], kind[target[j]]);
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
      return std::nullopt;
    return Step{start, storedRows() - start, std::move(rows), std::move(new_header)};
  }

  // No header: the cells go from the current one on.
  top = std::clamp(top, 0, storedRows());
  left = std::max(left, 0);
  const int count = std::min<int>(storedRows() - top, static_cast<int>(block.size()));
  std::vector<StudyRow> rows;
  rows.reserve(block.size());
  for (std::size_t r = 0; r < block.size(); ++r) {
    const int target = top + static_cast<int>(r);
    Record cells = (target < storedRows() ? rows_[target] : EmptyRow()).cells.ToStrings();
    for (std::size_t j = 0; j < block[r].size(); ++j) {
      const int column = left + static_cast<int>(j);
      if (column >= inputColumns()) break;
      if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(column + 1);
      cells[column] = Stored(block[r][j], KindOf(column));
    }
    rows.push_back({PackedCells(cells)});
  }
  if (!compute(rows, map_, generation_)) return std::nullopt;
  return Step{top, std::max(count, 0), std::move(rows), std::nullopt};
}

std::optional<Step> StudyTable::EditStep(int r, int input, std::string_view typed) const {
  if (r < 0 || r > storedRows() || input < 0 || input >= inputColumns()) return std::nullopt;
  StudyRow row = r < storedRows() ? rows_[r] : EmptyRow();
  if (row.cells.size() <= static_cast<std::size_t>(input)) row.cells.Resize(input + 1);
  std::string cell = Stored(typed, map_.kind[input]);
  if (r < storedRows() && cell == row.cells[input]) return std::nullopt;
  if (r == storedRows() && cell.empty()) return std::nullopt;
  row.cells.Set(input, cell);
  row.stamp = 0;  // its result is to be made again
  std::vector<StudyRow> rows;
  rows.push_back(std::move(row));
  return Step{r, r < storedRows() ? 1 : 0, std::move(rows), std::nullopt};
}

Step StudyTable::InsertRowStep(int row) const {
  std::vector<StudyRow> rows;
  rows.push_back(EmptyRow());
  return Step{std::clamp(row, 0, storedRows()), 0, std::move(rows), std::nullopt};
}

std::optional<Step> StudyTable::DeleteRowsStep(std::vector<int> rows) const {
  rows = Existing(std::move(rows), storedRows());
  if (rows.empty()) return std::nullopt;
  const int first = rows.front(), last = rows.back();
  std::vector<StudyRow> kept;
  for (int r = first, k = 0; r <= last; ++r) {
    if (rows[k] == r) {
      ++k;
      continue;
    }
    kept.push_back(rows_[r]);
  }
  return Step{first, last - first + 1, std::move(kept), std::nullopt};
}

std::optional<Step> StudyTable::ClearCellsStep(std::span<const InputCell> cells) const {
  int first = storedRows(), last = -1;
  for (const InputCell& cell : cells) {
    if (cell.row < 0 || cell.row >= storedRows() || cell.input < 0) continue;
    first = std::min(first, cell.row);
    last = std::max(last, cell.row);
  }
  if (last < 0) return std::nullopt;
  std::vector<StudyRow> rows(rows_.begin() + first, rows_.begin() + last + 1);
  bool changed = false;
  for (const InputCell& cell : cells) {
    if (cell.row < 0 || cell.row >= storedRows() || cell.input < 0) continue;
    StudyRow& row = rows[cell.row - first];
    if (static_cast<std::size_t>(cell.input) >= row.cells.size()) continue;
    if (row.cells[cell.input].empty()) continue;
    row.cells.Set(cell.input, {});
    row.stamp = 0;
    changed = true;
  }
  if (!changed) return std::nullopt;
  return Step{first, last - first + 1, std::move(rows), std::nullopt};
}

std::optional<Step> StudyTable::ClearRowsStep(std::vector<int> rows) const {
  rows = Existing(std::move(rows), storedRows());
  if (rows.empty()) return std::nullopt;
  const int first = rows.front(), last = rows.back();
  std::vector<StudyRow> changed(rows_.begin() + first, rows_.begin() + last + 1);
  bool any = false;
  for (const int r : rows) {
    StudyRow& row = changed[r - first];
    if (!IsFilled(row)) continue;
    row.cells = PackedCells(row.cells.size());
    row.stamp = 0;
    any = true;
  }
  if (!any) return std::nullopt;
  return Step{first, last - first + 1, std::move(changed), std::nullopt};
}

void StepStack::Push(std::optional<Step> step) {
  if (!step) return;
  table_.Swap(*step);
  undo_.push_back(std::move(*step));
  redo_.clear();
}

// Swapping the step back takes it back; swapping again makes it again.
bool StepStack::Move(std::vector<Step>& from, std::vector<Step>& to) {
  if (from.empty()) return false;
  table_.Swap(from.back());
  to.push_back(std::move(from.back()));
  from.pop_back();
  return true;
}

void StepStack::Clear() {
  undo_.clear();
  redo_.clear();
}

}  // namespace kelmory::table
