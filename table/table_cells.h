#pragma once
// The cells kelmory-batch writes, one at a time: what a program showing a
// table row by row (review/) needs to show exactly what the writer writes.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rows/row_rules.h"

namespace kelmory::batch {

// The shortest text that reads back as `value`, with `decimal` as its
// separator. Writes at most kNumberCellRoom chars at `out`; returns the end.
inline constexpr std::size_t kNumberCellRoom = 32;
char* WriteNumberCell(char* out, double value, char decimal);
std::string NumberCell(double value, char decimal);

// The figure of a numeric added column; nothing for a text column or an
// empty cell.
std::optional<double> ResultNumber(const RowResult& result, std::string_view column);

// The text of the added column `column` for a row's result; empty for a
// column the writer does not add.
std::string ResultCell(const RowResult& result, std::string_view column, char decimal);

// The refusal of a row with `filled` non-empty cells past the header's last
// column; empty when it has none. It names no count of columns: a saved
// table holds more of them than the one it was made from.
std::string PastHeaderRefusal(std::size_t filled);

}  // namespace kelmory::batch
