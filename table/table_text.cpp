#include "table/table_text.h"

#include <algorithm>

#include "rows/cell_number.h"

namespace kelmory::table {
// By hand rather than through a CSV reader: a paste of many rows must not
// make the window wait, and the block's rules are few.
std::variant<std::vector<PackedCells>, BlockError> ParseTabBlock(std::string_view text,
                                                                 const Progress& progress) {
  using Kind = BlockError::Kind;
  std::vector<PackedCells> records;
  Record record;
  std::size_t i = 0, reported = 0, row_bytes = 0;
  // The record's row in the sheet it was copied from: empty rows count,
  // line breaks inside a cell do not.
  std::size_t line = 1, record_line = 1;
  constexpr std::size_t kReportEvery = 1 << 20;
  const std::size_t n = text.size();
  while (i < n) {
    if (progress && i - reported >= kReportEvery) {
      reported = i;
      if (!progress(i, n)) break;
    }
    // One cell.
    std::string cell;
    const std::size_t column = record.size() + 1;
    if (text[i] == '"') {
      // A quote never closed would take in the rest of the block: it stops
      // at the longest cell, or at the end.
      bool closed = false;
      for (++i; i < n && cell.size() <= kMaxCellBytes; ++i) {
        if (text[i] != '"') {
          cell.push_back(text[i]);
        } else if (i + 1 < n && text[i + 1] == '"') {
          cell.push_back('"');
          ++i;
        } else {
          ++i;
          closed = true;
          break;
        }
      }
      if (!closed) return BlockError{Kind::OpenQuote, record_line, column};
    }
    // Up to the tab or line end; what follows a closing quote is kept.
    std::size_t end = i;
    while (end < n && text[end] != '\t' && text[end] != '\n' && text[end] != '\r') ++end;
    cell.append(text.substr(i, end - i));
    i = end;
    if (cell.size() > kMaxCellBytes) return BlockError{Kind::LongCell, record_line, column};
    row_bytes += cell.size() + 1;
    if (row_bytes > kMaxRowBytes) return BlockError{Kind::LongRow, record_line, column};
    record.push_back(std::move(cell));
    if (i < n && text[i] == '\t') {
      ++i;
      if (i < n) continue;
      record.emplace_back();
    }
    if (i < n && text[i] == '\r') {
      ++i;
      if (i < n && text[i] == '\n') ++i;
    } else if (i < n && text[i] == '\n') {
      ++i;
    }
    ++line;
    // An empty line makes no record.
    if (record.size() > 1 || !record.front().empty()) {
      records.emplace_back(record);
    }
    record.clear();
    record_line = line;
    row_bytes = 0;
  }
  return records;
}

void AppendTabLine(std::string& block, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) block.push_back('\t');
    const std::string& cell = cells[i];
    if (cell.find_first_of("\t\r\n\"") == std::string::npos) {
      block.append(cell);
      continue;
    }
    AppendQuoted(block, cell);
  }
  block.push_back('\n');
}

void AppendQuoted(std::string& out, std::string_view cell) {
  out.push_back('"');
  for (const char c : cell) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string MoveDecimal(std::string_view cell, char from, char to, bool percent) {
  std::string text(cell);
  if (from == to || cell.find(from) == std::string_view::npos) return text;
  if (from != to &&
      batch::ParseCellNumber(cell, from, percent).kind != batch::CellNumber::Kind::NotANumber)
    std::replace(text.begin(), text.end(), from, to);
  return text;
}

bool MayMoveSeparator(std::string_view cell, char user, char stored) {
  // Only a separator other than the stored one is ever moved.
  const bool user_moves = user != stored && cell.find(user) != std::string_view::npos;
  const bool point_moves = user == ',' && stored != '.' && cell.find('.') != std::string_view::npos;
  return user_moves || point_moves;
}

std::string FromUser(std::string_view cell, char user, char stored, bool percent) {
  using Kind = batch::CellNumber::Kind;
  if (!MayMoveSeparator(cell, user, stored)) return std::string(cell);
  // "2.000" from a user of decimal commas may be two thousand: it is kept
  // as typed, and refused as the batch refuses it.
  if (user == ',' && batch::IsGrouped(cell, user, percent)) return std::string(cell);
  if (batch::ParseCellNumber(cell, user, percent).kind != Kind::NotANumber)
    return MoveDecimal(cell, user, stored, percent);
  if (user == ',' && batch::ParseCellNumber(cell, '.', percent).kind != Kind::NotANumber)
    return MoveDecimal(cell, '.', stored, percent);
  return std::string(cell);
}

}  // namespace kelmory::table
