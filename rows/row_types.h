#pragma once
// The types every kind of row shares: the recognised columns, the settings
// of a run, one row's cells and its result. Header-only, so that the kinds
// (row_kinds.h) and ConvertRow (row_rules.h) both stand on it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/critical_values.h"

namespace kelmory::batch {

// The first eight make an se or interval row; then a median set, the
// columns of a difference between two groups, the ratios and the SDs of a
// change from baseline.
// clang-format off
enum Column {
  kN, kSe, kCi, kLower, kUpper, kMean, kLevel, kZ,
  kMedian, kQ1, kQ3, kMin, kMax,
  kN1, kN2, kMd, kT, kP,
  kOr, kRr, kHr,
  kSdBaseline, kSdFinal, kSdChange, kCorr,
  kColumnCount
};
// clang-format on
inline constexpr int kFirstNewColumn = kMedian;
// From here on a name adds its own result columns, not estimated_mean and
// total_n.
inline constexpr int kFirstRatioColumn = kOr;
inline constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "n",  "se", "ci",  "lower",       "upper",    "mean",      "level", "z", "median",
    "q1", "q3", "min", "max",         "n1",       "n2",        "md",    "t", "p",
    "or", "rr", "hr",  "sd_baseline", "sd_final", "sd_change", "corr"};

enum class Method { T, Z };

// Who reads the messages: the command line names its options ("use
// --method z"), a window its own controls ("choose Normal z").
enum class Audience { CommandLine, Window };

// A confidence level in percent as typed: 99.9 is 99.9, not the double
// nearest it, so that its critical values are those of the level itself.
struct Level {
  // A double stands for the shortest decimal that reads back as it, the text
  // a box that shows it shows. Implicit, so that a level can be written 95.
  Level(double percent)  // NOLINT(google-explicit-constructor)
      : exact(ShortestDecimal(percent)), value(percent) {}
  Level(ExactDecimal decimal, double percent) : exact(std::move(decimal)), value(percent) {}
  // The text of a level with `separator`, "%" allowed; nothing when it is
  // not a number.
  static std::optional<Level> Read(std::string_view text, char separator);
  bool operator==(const Level&) const = default;

  ExactDecimal exact;  // for the critical values
  double value;        // for the figures shown
};

// Which estimate of a median row fills mean and sd: the normal-theory one,
// a skewed-data one (QE, log-normal) or QE where the skewness test fires.
// Any but Normal also shows both side by side.
enum class MedianMethod { Normal, Qe, LogNormal, Auto };

// The correlation a change-from-baseline row without corr or sd_change
// takes: none, the user's own, or the mean of the table's own.
enum class CorrImputation { None, Value, Table };

struct RowSettings {
  Method method = Method::T;
  Level default_level = 95;  // for rows whose level cell is empty
  char decimal = '.';
  bool working = false;
  Audience audience = Audience::CommandLine;
  MedianMethod median = MedianMethod::Normal;
  CorrImputation corr = CorrImputation::None;
  // The value imputed; for Table, nothing when no row of the table gives a
  // correlation, and `corr_rows` the number of rows that do.
  std::optional<double> imputed_corr;
  std::uint64_t corr_rows = 0;
};

// The cells n_k, mean_k and sd_k of subgroup k.
enum SubgroupColumn { kSubN, kSubMean, kSubSd, kSubgroupColumnCount };
inline constexpr std::array<std::string_view, kSubgroupColumnCount> kSubgroupPrefixes = {
    "n_", "mean_", "sd_"};
struct SubgroupCells {
  int k = 0;
  std::array<std::string_view, kSubgroupColumnCount> text{};
};

// The texts of the recognised columns; empty where the table has no such
// column. Subgroups in ascending k.
struct RowCells {
  std::array<std::string_view, kColumnCount> text{};
  std::vector<SubgroupCells> subgroups;
};

struct RowResult {
  std::optional<double> sd, estimated_mean, total_n, critical_value, df, sd_z, sd_t,
      z_t_gap_percent;
  // A ratio's log and its SE, and a paired row's SD of each period, in
  // their own columns.
  std::optional<double> log_ratio, se_log_ratio, sd_within;
  // The correlation that a change row's three SDs give.
  std::optional<double> corr_estimated;
  // A median row's two estimates side by side, when a skewed-data method is
  // chosen: "qe log-normal", "qe gamma", ..., "log-normal".
  std::optional<double> mean_normal, sd_normal, mean_skewed, sd_skewed;
  std::string_view skewed_method;
  // "se", "t", "z", "user", "median-range", "two-group t", "combined"...;
  // empty when refused
  std::string_view method;
  std::string warning, refusal, working;
};

}  // namespace kelmory::batch
