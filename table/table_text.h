#pragma once
// Cell texts between the table of studies and the outside: the tab-separated
// blocks spreadsheets put on the clipboard, and numbers moved between a
// file's decimal separator and the user's.

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "table/packed_cells.h"

namespace kelmory::table {

using Record = std::vector<std::string>;

// Told how far a long task has come; false stops it.
using Progress = std::function<bool(std::size_t done, std::size_t total)>;

// The longest cell and row kelmory-batch reads: what the window takes in
// it can save and read back.
inline constexpr std::size_t kMaxCellBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMaxRowBytes = std::size_t{2} << 20;

// Where a block breaks those limits, counted from 1 in the block itself.
struct BlockError {
  enum class Kind { LongCell, LongRow, OpenQuote };
  Kind kind;
  std::size_t row = 0, column = 0;  // for an open quote, the cell it opens
};

// A clipboard block: records on lines (LF, CR LF or CR), cells split at tabs,
// a cell in double quotes may hold tabs, line breaks and doubled quotes.
// Empty lines are skipped.
// `progress`, told the bytes read, may stop it: the records so far then.
std::variant<std::vector<PackedCells>, BlockError> ParseTabBlock(std::string_view text,
                                                                 const Progress& progress = {});

// The cell in double quotes, its own quotes doubled.
void AppendQuoted(std::string& out, std::string_view cell);

// One line of a block, cells quoted where they must be, ended by LF.
void AppendTabLine(std::string& block, const std::vector<std::string>& cells);

// The cell with the decimal separator `from` changed to `to` when it is a
// number written with `from`; otherwise the cell unchanged.
std::string MoveDecimal(std::string_view cell, char from, char to, bool percent);

// A typed or pasted cell in the user's separator `user` (where that is a
// comma a point is taken too), written with `stored`.
std::string FromUser(std::string_view cell, char user, char stored, bool percent);
// Whether FromUser may change the cell at all: false for most cells, which
// are then stored as they stand.
bool MayMoveSeparator(std::string_view cell, char user, char stored);

}  // namespace kelmory::table
