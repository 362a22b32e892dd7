#pragma once
// The cells kelmory-batch writes, one at a time: what a program showing a
// table row by row (review/) needs to show exactly what the writer writes.

#include <span>
#include <string>
#include <string_view>

#include "batch/cell_number.h"
#include "batch/row_rules.h"

namespace kelmory::batch {

// The shortest text that reads back as `value`, with `decimal` as its
// separator. Writes at most kNumberCellRoom chars at `out`; returns the end.
inline constexpr std::size_t kNumberCellRoom = 32;
char* WriteNumberCell(char* out, double value, char decimal);
std::string NumberCell(double value, char decimal);

// The columns the writer adds after the header's own, in their order.
std::span<const std::string_view> AddedColumns(bool working);

// The text of the added column `column` for a row's result; empty for a
// column the writer does not add.
std::string ResultCell(const RowResult& result, std::string_view column, char decimal);

// The refusal of a row that has filled cells past the header's `width`;
// empty when it has none. `cell(i)` is the row's cell i, i < `count`.
template <class CellAt>
std::string PastHeaderRefusal(std::size_t count, std::size_t width, const CellAt& cell) {
  std::string extra;
  for (std::size_t i = width; i < count; ++i) {
    if (IsEmptyCell(cell(i))) continue;
    if (!extra.empty()) extra.append(", ");
    extra.append("'").append(cell(i)).append("'");
  }
  if (extra.empty()) return extra;
  return "the row has " + std::to_string(count) + " cells, the header " + std::to_string(width) +
         "; past the header: " + extra;
}

}  // namespace kelmory::batch
