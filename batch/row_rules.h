#pragma once
// One study row of a batch table: its cells in, its SD (under z and under t,
// side by side), method, warnings, refusal and working text out.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/critical_values.h"
#include "engine/number_text.h"

namespace kelmory::batch {

enum Column { kN, kSe, kCi, kLower, kUpper, kMean, kLevel, kZ, kColumnCount };
inline constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "n", "se", "ci", "lower", "upper", "mean", "level", "z"};

enum class Method { T, Z };

struct RowSettings {
  Method method = Method::T;
  double default_level = 95;  // for rows whose level cell is empty
  char decimal = '.';
  bool working = false;
};

// The texts of the recognised columns; empty where the table has no such
// column.
struct RowCells {
  std::array<std::string_view, kColumnCount> text{};
};

struct RowResult {
  std::optional<double> sd, critical_value, df, sd_z, sd_t, z_t_gap_percent;
  std::string_view method;  // "se", "t", "z", "user"; empty when refused
  std::string warning, refusal, working;
};

// A refusal when `text` is empty; the caller keeps the cache across rows.
RowResult ConvertRow(const RowCells& cells, const RowSettings& settings, CriticalValueCache& cache);

// For an se row that also gives an interval: warns in `result` when the SD
// the interval gives differs from the se's by more than 10 %.
void CheckAgainstInterval(const RowCells& cells, const RowSettings& settings,
                          CriticalValueCache& cache, RowResult& result);

}  // namespace kelmory::batch
