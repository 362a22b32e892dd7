#include "web/web_table.h"

#include <algorithm>
#include <cstring>

#include "rows/cell_number.h"
#include "table/table_cells.h"

namespace kelmory::web {
namespace {

using review::AppendQuoted;
using review::AppendTabLine;
using review::FromUser;
using review::MoveDecimal;

batch::ByteSource FromMemory(std::string_view bytes) {
  return [bytes](char* buffer, std::size_t size) mutable -> std::ptrdiff_t {
    const std::size_t count = std::min(size, bytes.size());
    std::memcpy(buffer, bytes.data(), count);
    bytes.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  };
}

Record NewHeader() { return {"study", "n", "se", "ci", "lower", "upper", "mean", "level", "z"}; }

batch::Dialect NewDialect(char user) {
  batch::Dialect dialect;
  dialect.decimal = user;
  dialect.delimiter = user == ',' ? ';' : ',';
  return dialect;
}

std::string BlockMessage(const review::BlockError& error) {
  const std::string where =
      "row " + std::to_string(error.row) + ", column " + std::to_string(error.column);
  switch (error.kind) {
    case review::BlockError::Kind::LongCell:
      return "The pasted cell at " + where + " is longer than 1 MiB";
    case review::BlockError::Kind::LongRow:
      return "The pasted row " + std::to_string(error.row) + " is longer than 2 MiB";
    case review::BlockError::Kind::OpenQuote:
      return "The quote opening the pasted cell at " + where + " is never closed";
  }
  return {};
}

}  // namespace

WebTable::WebTable(char user_decimal) : user_(user_decimal) { Clear(); }

void WebTable::Clear() {
  header_ = NewHeader();
  rows_.clear();
  dialect_ = NewDialect(user_);
  undo_.clear();
  redo_.clear();
  MapColumns();
  ++generation_;
}

void WebTable::SetSettings(batch::Method method, const batch::Level& level) {
  if (method == settings_.method && level == settings_.default_level) return;
  settings_.method = method;
  settings_.default_level = level;
  ++generation_;
  ComputeStale();
}

WebTable::ColumnMap WebTable::MapHeader(const Record& header) {
  ColumnMap map;
  map.width = header.size();
  map.columns = batch::ReadTableColumns({header.begin(), header.end()});
  map.kind.assign(header.size(), CellKind::Text);
  const auto mark = [&](int i, CellKind kind) {
    if (i >= 0 && static_cast<std::size_t>(i) < map.kind.size()) map.kind[i] = kind;
  };
  mark(map.columns.sd, CellKind::Number);
  for (int c = 0; c < batch::kColumnCount; ++c)
    mark(map.columns.index[c], c == batch::kLevel ? CellKind::Percent : CellKind::Number);
  for (const batch::SubgroupColumns& subgroup : map.columns.subgroups) {
    for (const int i : subgroup.index) mark(i, CellKind::Number);
  }
  return map;
}

void WebTable::MapColumns() {
  map_ = MapHeader(header_);
  const auto added = batch::ResultColumns(map_.columns, {header_.begin(), header_.end()}, false);
  added_.clear();
  added_headings_.clear();
  for (const batch::ResultColumn& column : added) {
    added_.push_back(column.name);
    added_headings_.push_back(column.heading);
  }
}

void WebTable::Compute(Row& row, const ColumnMap& map, bool working) const {
  const Record& cells = row.cells;
  row.result = {};
  row.sd_from_result = row.mean_from_result = false;
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
  // table's own: the same values, with warnings and working in the user's
  // separator. Otherwise in the table's, which refuses the row as the
  // batch does.
  batch::RowSettings settings = settings_;
  settings.working = working;
  settings.decimal = dialect_.decimal;
  row_view_.assign(cells.begin(), cells.end());
  bool all_numbers = user_ != dialect_.decimal;
  for (std::size_t i = 0; i < cells.size() && i < map.width && all_numbers; ++i) {
    all_numbers =
        map.kind[i] == CellKind::Text || batch::IsEmptyCell(cells[i]) ||
        batch::ParseCellNumber(cells[i], dialect_.decimal, map.kind[i] == CellKind::Percent).kind !=
            batch::CellNumber::Kind::NotANumber;
  }
  if (all_numbers) {
    moved_.resize(cells.size());
    for (std::size_t i = 0; i < cells.size() && i < map.width; ++i) {
      if (map.kind[i] == CellKind::Text) continue;
      moved_[i] = MoveDecimal(cells[i], dialect_.decimal, user_, map.kind[i] == CellKind::Percent);
      row_view_[i] = moved_[i];
    }
    settings.decimal = user_;
  }
  batch::TableRow converted =
      batch::ConvertTableRow(map.columns, row_view_, settings, cache_, row_cells_);
  row.result = std::move(converted.result);
  row.sd_from_result = converted.sd_from_result;
  row.mean_from_result = converted.mean_from_result;
}

void WebTable::ComputeStale() {
  for (Row& row : rows_) {
    if (row.stamp == generation_) continue;
    Compute(row, map_);
    row.stamp = generation_;
  }
}

Outcome WebTable::Open(const std::string& bytes) {
  Record header;
  std::vector<Row> rows;
  bool first = true;
  batch::BatchOptions options;
  options.on_record = [&](std::span<const std::string_view> cells) {
    Record record(cells.begin(), cells.end());
    if (first) {
      header = std::move(record);
      first = false;
    } else {
      rows.push_back({std::move(record), {}});
    }
  };
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(bytes), [](std::string_view) { return true; }, options);
  if (summary.status == 2) return {false, summary.message};
  // An earlier result (a saved table) is read as the batch reads it: its
  // columns are made again, the user's cells stay.
  const batch::TableColumns columns = batch::ReadTableColumns({header.begin(), header.end()});
  for (Row& row : rows) batch::KeepUserCells(columns, header.size(), row.cells);
  header.resize(columns.width);
  header_ = std::move(header);
  rows_ = std::move(rows);
  dialect_ = summary.dialect;
  undo_.clear();
  redo_.clear();
  MapColumns();
  ++generation_;
  ComputeStale();
  return {};
}

bool WebTable::IsFilled(const Row& row) const {
  return std::any_of(row.cells.begin(), row.cells.end(),
                     [](const std::string& cell) { return !batch::IsEmptyCell(cell); });
}

WebTable::Row WebTable::EmptyRow() const { return {Record(header_.size()), {}}; }

CellKind WebTable::KindOf(int column) const {
  return column >= 0 && column < inputColumns() ? map_.kind[column] : CellKind::Text;
}

std::string WebTable::Stored(std::string cell, CellKind kind) const {
  // Most cells hold no separator to move: they are kept as they are.
  if (kind == CellKind::Text || cell.find_first_of(".,") == std::string::npos) return cell;
  return FromUser(cell, user_, dialect_.decimal, kind == CellKind::Percent);
}

void WebTable::Push(int first, int count, std::vector<Row> rows, std::optional<Record> header) {
  Step step{first, count, std::move(rows), std::move(header)};
  Swap(step);
  undo_.push_back(std::move(step));
  redo_.clear();
}

bool WebTable::Undo() {
  if (undo_.empty()) return false;
  Swap(undo_.back());
  redo_.push_back(std::move(undo_.back()));
  undo_.pop_back();
  return true;
}

bool WebTable::Redo() {
  if (redo_.empty()) return false;
  Swap(redo_.back());
  undo_.push_back(std::move(redo_.back()));
  redo_.pop_back();
  return true;
}

void WebTable::Swap(Step& step) {
  if (step.header) {
    std::swap(header_, *step.header);
    MapColumns();
    ++generation_;
  }
  const int first = step.first;
  const int incoming = static_cast<int>(step.rows.size());
  const int common = std::min(step.count, incoming);
  for (int i = 0; i < common; ++i) std::swap(rows_[first + i], step.rows[i]);
  if (rows_.empty() && step.count == 0) {
    // A paste into an empty table: the rows change places whole.
    std::swap(rows_, step.rows);
  } else if (incoming > step.count) {
    rows_.insert(rows_.begin() + first + step.count,
                 std::make_move_iterator(step.rows.begin() + step.count),
                 std::make_move_iterator(step.rows.end()));
    step.rows.resize(step.count);
  } else if (incoming < step.count) {
    step.rows.insert(step.rows.end(), std::make_move_iterator(rows_.begin() + first + incoming),
                     std::make_move_iterator(rows_.begin() + first + step.count));
    rows_.erase(rows_.begin() + first + incoming, rows_.begin() + first + step.count);
  }
  step.count = incoming;
  // The settings may have changed since the rows were last in the table.
  ComputeStale();
}

Outcome WebTable::Paste(std::string_view text, int top, int left) {
  auto parsed = review::ParseTabBlock(text);
  if (const auto* error = std::get_if<review::BlockError>(&parsed))
    return {false, BlockMessage(*error)};
  std::vector<Record> block;
  for (review::PackedCells& cells : std::get<std::vector<review::PackedCells>>(parsed)) {
    block.push_back(cells.ToStrings());
    cells = {};
  }
  if (block.empty()) return {};

  // A header is one the batch can read (it names n) with one more of the
  // columns the rows are read by. An earlier result block is left out, as
  // the batch leaves it out: its columns are made again.
  const Record& first = block.front();
  const batch::TableColumns pasted = batch::ReadTableColumns({first.begin(), first.end()});
  const Record names(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(pasted.width));
  const ColumnMap named = MapHeader(names);
  if (named.columns.problem.empty() &&
      std::count_if(named.kind.begin(), named.kind.end(),
                    [](CellKind k) { return k != CellKind::Text; }) >= 2) {
    const bool empty =
        std::none_of(rows_.begin(), rows_.end(), [this](const Row& row) { return IsFilled(row); });
    Record header = empty ? Record() : header_;
    for (std::size_t r = 1; r < block.size(); ++r)
      batch::KeepUserCells(pasted, first.size(), block[r]);
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
    // A table emptied of its rows takes the pasted table's dialect afresh.
    if (empty) dialect_ = NewDialect(user_);
    std::vector<Row> rows;
    rows.reserve(block.size() - 1);
    bool in_place = target.size() == header.size();
    for (std::size_t j = 0; j < target.size() && in_place; ++j)
      in_place = target[j] == static_cast<int>(j);
    for (std::size_t r = 1; r < block.size(); ++r) {
      Row row;
      if (in_place) {
        row.cells = std::move(block[r]);
        if (row.cells.size() > header.size()) row.cells.resize(header.size());
        for (std::size_t j = 0; j < row.cells.size(); ++j) {
          if (map.kind[j] != CellKind::Text)
            row.cells[j] = Stored(std::move(row.cells[j]), map.kind[j]);
        }
      } else {
        row.cells.resize(header.size());
        for (std::size_t j = 0; j < block[r].size() && j < target.size(); ++j) {
          if (target[j] >= 0)
            row.cells[target[j]] = Stored(std::move(block[r][j]), map.kind[target[j]]);
        }
      }
      rows.push_back(std::move(row));
    }
    int start = this->rows();
    while (start > 0 && !IsFilled(rows_[start - 1])) --start;
    std::optional<Record> new_header;
    if (header != header_) new_header = std::move(header);
    Push(start, this->rows() - start, std::move(rows), std::move(new_header));
    return {};
  }

  // No header: the cells go from the current one on.
  top = std::clamp(top, 0, rows());
  left = std::clamp(left, 0, std::max(inputColumns() - 1, 0));
  const int count = std::min<int>(rows() - top, static_cast<int>(block.size()));
  std::vector<Row> rows;
  rows.reserve(block.size());
  for (std::size_t r = 0; r < block.size(); ++r) {
    const int target = top + static_cast<int>(r);
    Row row = target < this->rows() ? rows_[target] : EmptyRow();
    row.stamp = 0;
    for (std::size_t j = 0; j < block[r].size(); ++j) {
      const int column = left + static_cast<int>(j);
      if (column >= inputColumns()) break;
      if (row.cells.size() <= static_cast<std::size_t>(column)) row.cells.resize(column + 1);
      row.cells[column] = Stored(std::move(block[r][j]), KindOf(column));
    }
    rows.push_back(std::move(row));
  }
  Push(top, std::max(count, 0), std::move(rows), std::nullopt);
  return {};
}

void WebTable::SetCell(int r, int column, std::string_view text) {
  if (r < 0 || r > rows() || column < 0 || column >= inputColumns()) return;
  Row row = r < rows() ? rows_[r] : EmptyRow();
  if (row.cells.size() <= static_cast<std::size_t>(column)) row.cells.resize(column + 1);
  std::string cell = Stored(std::string(text), KindOf(column));
  if (r < rows() && cell == row.cells[column]) return;
  if (r == rows() && batch::IsEmptyCell(cell)) return;
  row.cells[column] = std::move(cell);
  row.stamp = 0;
  std::vector<Row> changed;
  changed.push_back(std::move(row));
  Push(r, r < rows() ? 1 : 0, std::move(changed), std::nullopt);
}

void WebTable::ClearCells(int top, int left, int bottom, int right) {
  top = std::max(top, 0);
  bottom = std::min(bottom, rows() - 1);
  right = std::min(right, inputColumns() - 1);
  left = std::max(left, 0);
  if (top > bottom || left > right) return;
  std::vector<Row> changed(rows_.begin() + top, rows_.begin() + bottom + 1);
  bool any = false;
  for (Row& row : changed) {
    for (int c = left; c <= right && static_cast<std::size_t>(c) < row.cells.size(); ++c) {
      if (row.cells[c].empty()) continue;
      row.cells[c].clear();
      row.stamp = 0;
      any = true;
    }
  }
  if (any) Push(top, bottom - top + 1, std::move(changed), std::nullopt);
}

void WebTable::InsertRow(int row) {
  row = std::clamp(row, 0, rows());
  std::vector<Row> added;
  added.push_back(EmptyRow());
  Push(row, 0, std::move(added), std::nullopt);
}

void WebTable::DeleteRows(int first, int count) {
  first = std::max(first, 0);
  count = std::min(count, rows() - first);
  if (count <= 0) return;
  Push(first, count, {}, std::nullopt);
}

namespace {

// The rows that exist, ascending, once each.
std::vector<int> Existing(std::vector<int> rows, int count) {
  std::erase_if(rows, [count](int row) { return row < 0 || row >= count; });
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace

void WebTable::DeleteRows(std::vector<int> rows) {
  rows = Existing(std::move(rows), this->rows());
  if (rows.empty()) return;
  const int first = rows.front(), last = rows.back();
  std::vector<Row> kept;
  for (int r = first, k = 0; r <= last; ++r) {
    if (rows[k] == r) {
      ++k;
      continue;
    }
    kept.push_back(rows_[r]);
  }
  Push(first, last - first + 1, std::move(kept), std::nullopt);
}

void WebTable::ClearRows(std::vector<int> rows) {
  rows = Existing(std::move(rows), this->rows());
  if (rows.empty()) return;
  const int first = rows.front(), last = rows.back();
  std::vector<Row> changed(rows_.begin() + first, rows_.begin() + last + 1);
  bool any = false;
  for (const int r : rows) {
    Row& row = changed[r - first];
    if (!IsFilled(row)) continue;
    for (std::string& cell : row.cells) cell.clear();
    row.stamp = 0;
    any = true;
  }
  if (any) Push(first, last - first + 1, std::move(changed), std::nullopt);
}

std::string WebTable::Heading(int column) const {
  if (column < 0 || column >= columns()) return {};
  return IsResultColumn(column) ? added_headings_[column - inputColumns()] : header_[column];
}

std::string WebTable::ColumnName(int column) const {
  if (column < 0 || column >= columns()) return {};
  return IsResultColumn(column) ? std::string(added_[column - inputColumns()])
                                : batch::Lower(header_[column]);
}

bool WebTable::IsFilledIn(int row, int column) const {
  if (row < 0 || row >= rows()) return false;
  const Row& r = rows_[row];
  // Only a cell that shows a value: an se row's empty mean stays an input.
  if (column == map_.columns.sd) return r.sd_from_result && r.result.sd;
  return column == map_.columns.index[batch::kMean] && map_.columns.fill_mean &&
         r.mean_from_result && r.result.estimated_mean;
}

std::string WebTable::Cell(int row, int column) const {
  if (row < 0 || row >= rows() || column < 0 || column >= columns()) return {};
  const Row& r = rows_[row];
  if (IsResultColumn(column))
    return batch::ResultCell(r.result, added_[column - inputColumns()], user_);
  if (IsFilledIn(row, column)) {
    return batch::ResultCell(r.result, column == map_.columns.sd ? "sd" : "estimated_mean", user_);
  }
  if (static_cast<std::size_t>(column) >= r.cells.size()) return {};
  const CellKind kind = map_.kind[column];
  if (kind == CellKind::Text) return r.cells[column];
  return MoveDecimal(r.cells[column], dialect_.decimal, user_, kind == CellKind::Percent);
}

Mark WebTable::MarkOf(int row) const {
  if (row < 0 || row >= rows()) return Mark::None;
  const batch::RowResult& result = rows_[row].result;
  if (!result.refusal.empty()) return Mark::Refusal;
  if (!result.warning.empty()) return Mark::Warning;
  return Mark::None;
}

std::string WebTable::MessageOf(int row) const {
  if (row < 0 || row >= rows()) return {};
  const batch::RowResult& result = rows_[row].result;
  return result.refusal.empty() ? result.warning : result.refusal;
}

std::string WebTable::Working(int row) const {
  if (row < 0 || row >= rows()) return {};
  Row copy{rows_[row].cells, {}};
  Compute(copy, map_, true);
  std::string text = std::move(copy.result.working);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

Tally WebTable::tally() const {
  Tally tally;
  tally.rows = rows_.size();
  for (const Row& row : rows_) {
    tally.warnings += !row.result.warning.empty();
    tally.refused += !row.result.refusal.empty();
  }
  return tally;
}

std::string WebTable::CopyBlock(int top, int left, int bottom, int right, bool header) const {
  top = std::max(top, 0);
  bottom = std::min(bottom, rows() - 1);
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
    for (int c = left; c <= right; ++c) cells.push_back(Cell(r, c));
    AppendTabLine(block, cells);
  }
  return block;
}

std::string WebTable::InputText() const {
  std::string text;
  if (dialect_.bom) text.append("\xEF\xBB\xBF");
  if (dialect_.sep_line) {
    text.append("sep=").push_back(dialect_.delimiter);
    text.append(dialect_.line_end);
  }
  // Every cell in quotes: a row of empty cells stays a row.
  const auto line = [&](const Record& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i) text.push_back(dialect_.delimiter);
      AppendQuoted(text, cells[i]);
    }
    if (cells.empty()) text.append("\"\"");
    text.append(dialect_.line_end);
  };
  line(header_);
  for (const Row& row : rows_) line(row.cells);
  return text;
}

Outcome WebTable::Save(std::string& out) const {
  batch::BatchOptions options;
  options.method = settings_.method;
  options.level = settings_.default_level;
  options.delimiter = dialect_.delimiter;
  options.decimal = dialect_.decimal;
  options.working = true;
  out.clear();
  const std::string input = InputText();
  const batch::BatchSummary summary = batch::RunBatch(
      FromMemory(input),
      [&](std::string_view bytes) {
        out.append(bytes);
        return true;
      },
      options);
  if (summary.status == 2) {
    out.clear();
    return {false, summary.message};
  }
  return {};
}

}  // namespace kelmory::web
