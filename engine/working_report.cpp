#include "engine/working_report.h"

#include <cmath>
#include <string_view>
#include <utility>

namespace kelmory {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr int kRoundedPlaces = 5;

// The last lines of both working texts: the formula's numbers, an empty
// line, and the unrounded SD.
void AppendComputation(std::string& text, const DerivationFigures& figures,
                       const NumberLocale& locale) {
  text.append("Which computes to ");
  AppendNumberText(text, std::sqrt(figures.n), locale);
  text.append(" * ");
  AppendNumberText(text, figures.se, locale);
  text.append(kCrLf);
  text.append(kCrLf);
  text.append("Therefore, the SD = ");
  AppendNumberText(text, figures.sd, locale);
}

}  // namespace

WorkingReport::WorkingReport(NumberLocale locale) : locale_(std::move(locale)) {}

std::string WorkingReport::result_text(const DerivationFigures& figures) const {
  std::string text;
  text.reserve(48);
  text.append("The standard deviation is: ");
  AppendNumberText(text, RoundToPlaces(figures.sd, kRoundedPlaces), locale_);
  return text;
}

std::string WorkingReport::working_text(const DerivationFigures& figures) const {
  std::string text;

  if (figures.mode == DerivationMode::StandardErrorMode) {
    text.reserve(160);
    text.append("Standard Deviation = sqrt(N) * Standard Error");
    text.append(kCrLf);
    AppendComputation(text, figures, locale_);
    return text;
  }

  text.reserve(512);
  text.append("Standard Error = Confidence Error / z-value equivalence of confidence interval");
  text.append(kCrLf);
  text.append(kCrLf);
  if (figures.choice == ConfidenceChoice::ConfOther) {
    text.append("Applying a user specified value of ");
    AppendNumberText(text, figures.z, locale_);
    text.append(" as the z-value ");
    text.append("or t-value equivalent of the confidence interval, ");
  } else {
    text.append("Applying the Central Limit Theorem (and assuming a z-");
    text.append("value of ");
    AppendNumberText(text, figures.z, locale_);
    text.append(" for the entered ");
    text.append(figures.confidence_label);
    text.append(" confidence interval), ");
  }
  text.append("the estimated standard error computes as (approximately): ");
  AppendNumberText(text, RoundToPlaces(figures.se, kRoundedPlaces), locale_);
  text.append(kCrLf);
  text.append(kCrLf);
  text.append("The estimated Standard Deviation = sqrt(N) * Standard Error");
  text.append(kCrLf);
  text.append(kCrLf);
  AppendComputation(text, figures, locale_);
  return text;
}

}  // namespace kelmory
