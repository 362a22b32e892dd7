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

std::optional<double> ResultNumber(const RowResult& result, std::string_view column) {
  if (column == "sd") return result.sd;
  if (column == "estimated_mean") return result.estimated_mean;
  if (column == "total_n") return result.total_n;
  if (column == "critical_value") return result.critical_value;
  if (column == "df") return result.df;
  if (column == "sd_z") return result.sd_z;
  if (column == "sd_t") return result.sd_t;
  if (column == "z_t_gap_percent") return result.z_t_gap_percent;
  if (column == "log_ratio") return result.log_ratio;
  if (column == "se_log_ratio") return result.se_log_ratio;
  if (column == "sd_within") return result.sd_within;
  if (column == "corr_estimated") return result.corr_estimated;
  if (column == "mean_normal") return result.mean_normal;
  if (column == "sd_normal") return result.sd_normal;
  if (column == "mean_skewed") return result.mean_skewed;
  if (column == "sd_skewed") return result.sd_skewed;
  return std::nullopt;
}

std::string ResultCell(const RowResult& result, std::string_view column, char decimal) {
  const auto number = [&](const std::optional<double>& value) {
    return value ? NumberCell(*value, decimal) : std::string();
  };
  if (const std::optional<double> figure = ResultNumber(result, column)) return number(figure);
  if (column == "method") return std::string(result.method);
  if (column == "skewed_method") return std::string(result.skewed_method);
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
