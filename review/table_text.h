#pragma once
// Cell texts between the review window and the outside: the tab-separated
// blocks spreadsheets put on the clipboard, and numbers moved between a
// file's decimal separator and the user's.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmory::review {

using Record = std::vector<std::string>;

// Told how far a long task has come; false stops it.
using Progress = std::function<bool(std::size_t done, std::size_t total)>;

// A clipboard block: records on lines (LF, CR LF or CR), cells split at tabs,
// a cell in double quotes may hold tabs, line breaks and doubled quotes.
// Empty lines are skipped.
// `progress`, told the bytes read, may stop it: the records so far then.
std::vector<Record> ParseTabBlock(std::string_view text, const Progress& progress = {});

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

}  // namespace kelmory::review
