// Rows that give the SDs of a change from baseline (Cochrane Handbook
// 6.5.2.8): the SD of the change from the baseline and final SDs and their
// correlation, SD_change = sqrt(SD_b^2 + SD_f^2 - 2 r SD_b SD_f), or the
// correlation from all three SDs, r = (SD_b^2 + SD_f^2 - SD_change^2) /
// (2 SD_b SD_f).

#include <cmath>
#include <string>

#include "engine/number_text.h"
#include "rows/cell_number.h"
#include "rows/row_kinds.h"

namespace kelmory::batch {
namespace {

// A given corr further than this from the one the SDs give is warned of.
constexpr double kCorrDisagreement = 0.1;

}  // namespace

RowResult ChangeRow(const RowValues& value, const RowCells& cells, const RowSettings& settings) {
  const auto& text = cells.text;
  if (value[kN]) {
    if (auto refusal = CountRefusal("n", *value[kN], text[kN])) return Refused(std::move(*refusal));
  }
  for (const Column c : {kSdBaseline, kSdFinal}) {
    if (!value[c]) {
      return Refused(std::string(kColumnNames[c]) +
                     " is empty: a change from baseline takes sd_baseline and sd_final, with corr "
                     "or sd_change");
    }
    if (!(*value[c] > 0)) return Refused(Quoted(kColumnNames[c], " is not above 0", text[c]));
  }
  if (value[kSdChange] && *value[kSdChange] < 0)
    return Refused(Quoted("sd_change", " is negative", text[kSdChange]));
  if (value[kCorr] && !(*value[kCorr] >= -1 && *value[kCorr] <= 1))
    return Refused(Quoted("corr", " is not between -1 and 1", text[kCorr]));

  const double b = *value[kSdBaseline], f = *value[kSdFinal];
  const NumberLocale locale{{settings.decimal}};
  RowResult result;
  WorkingLines out(settings.decimal);
  out << "Change from baseline (Cochrane Handbook 6.5.2.8):";

  if (value[kSdChange]) {
    const double c = *value[kSdChange];
    const double r = (b * b + f * f - c * c) / (2 * b * f);
    if (!std::isfinite(r)) return Refused("the SDs are too large to be computed");
    out.Line() << "r = (SD_baseline^2 + SD_final^2 - SD_change^2) / (2 * SD_baseline * SD_final)";
    out.Line() << "Which computes to (" << b << "^2 + " << f << "^2 - " << c << "^2) / (2 * " << b
               << " * " << f << ") = " << r;
    if (r < -1 || r > 1) {
      return Refused(QuotedCell(kSdBaseline, text) + ", " + QuotedCell(kSdFinal, text) + " and " +
                     QuotedCell(kSdChange, text) +
                     " contradict each other: they give a correlation of " + NumberText(r, locale) +
                     ", outside -1 to 1");
    }
    result.method = "correlation";
    result.sd = c;
    result.corr_estimated = r;
    if (value[kCorr] && std::fabs(*value[kCorr] - r) > kCorrDisagreement) {
      AddWarning(result.warning, QuotedCell(kCorr, text) +
                                     " and the three SDs disagree: they give " +
                                     NumberText(r, locale));
    }
    out.Line().Line() << "Therefore, the correlation = " << r
                      << ", and the SD of the change is the given " << c;
  } else {
    double r = 0;
    if (value[kCorr]) {
      r = *value[kCorr];
      result.method = "change from correlation";
      out.Line() << "r = " << r << ", as given";
    } else if (settings.corr == CorrImputation::None) {
      return Refused(std::string("sd_baseline and sd_final are given without corr or sd_change: ") +
                     (settings.audience == Audience::Window
                          ? "give one, or choose Impute a Correlation in the Method menu"
                          : "give one, or impute a correlation with --corr"));
    } else if (!settings.imputed_corr) {
      return Refused(std::string("no row of the table gives a correlation to impute: ") +
                     (settings.audience == Audience::Window ? "the table's mean correlation"
                                                            : "--corr table") +
                     " takes those of the rows with sd_baseline, sd_final and sd_change");
    } else {
      r = *settings.imputed_corr;
      result.method = "change from imputed correlation";
      if (settings.corr == CorrImputation::Table) {
        const std::string rows =
            std::to_string(settings.corr_rows) +
            (settings.corr_rows == 1 ? " row's correlation" : " rows' correlations");
        AddWarning(result.warning, "imputed correlation " + FixedText(r, 3, settings.decimal) +
                                       ", the mean of " + rows +
                                       " through Fisher's z: consider a sensitivity analysis");
        out.Line() << "r = " << r << ", imputed: the mean of the table's " << rows
                   << " through Fisher's z";
      } else {
        AddWarning(result.warning, "imputed correlation " + NumberText(r, locale) +
                                       ": consider a sensitivity analysis");
        out.Line() << "r = " << r << ", imputed";
      }
    }
    const double sd = std::sqrt(b * b + f * f - 2 * r * b * f);
    if (!std::isfinite(sd)) return Refused("the SDs are too large to be computed");
    if (sd == 0) {
      return Refused(ZeroSd(QuotedCell(kSdBaseline, text) + " and " + QuotedCell(kSdFinal, text) +
                            " are equal with a correlation of 1: the change has no spread"));
    }
    result.sd = sd;
    out.Line() << "SD_change = sqrt(SD_baseline^2 + SD_final^2 - 2 * r * SD_baseline * SD_final)";
    out.Line() << "Which computes to sqrt(" << b << "^2 + " << f << "^2 - 2 * " << r << " * " << b
               << " * " << f << ")";
    out.Line().Line() << "Therefore, the SD = " << sd;
  }
  if (settings.working) result.working = out.Take();
  return result;
}

}  // namespace kelmory::batch
