#include "table/table_cells.h"

#include <algorithm>

#include "table/batch_run.h"
#include "table/shortest_text.h"

namespace kelmory::batch {

char* WriteNumberCell(char* out, double value, char decimal) {
  char* const end = WriteShortest(out, value);
  if (decimal != '.') std::replace(out, end, '.', decimal);
  return end;
}

std::string NumberCell(double value, char decimal) {
  std::string text(kNumberCellRoom, '\0');
  text.resize(static_cast<std::size_t>(WriteNumberCell(text.data(), value, decimal) - text.data()));
  return text;
}

std::string ResultCell(const RowResult& result, std::string_view column, char decimal) {
  const auto number = [&](const std::optional<double>& value) {
    return value ? NumberCell(*value, decimal) : std::string();
  };
  if (column == "sd") return number(result.sd);
  if (column == "estimated_mean") return number(result.estimated_mean);
  if (column == "total_n") return number(result.total_n);
  if (column == "method") return std::string(result.method);
  if (column == "critical_value") return number(result.critical_value);
  if (column == "df") return number(result.df);
  if (column == "sd_z") return number(result.sd_z);
  if (column == "sd_t") return number(result.sd_t);
  if (column == "z_t_gap_percent") return number(result.z_t_gap_percent);
  if (column == "warning") return result.warning;
  if (column == "refusal") return result.refusal;
  if (column == "working") return result.working;
  return {};
}

std::string PastHeaderRefusal(std::size_t filled) {
  if (filled == 0) return {};
  return "the row has " + std::to_string(filled) +
         (filled == 1 ? " filled cell" : " filled cells") + " past the header's last column";
}

}  // namespace kelmory::batch
