#include "engine/working_report.h"

#include <cmath>
#include <string_view>
#include <utility>

namespace kelmory {
namespace {

constexpr std::string_view kCrLf = "\r\n";

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

// The confidence-error text: its first line, the SE sentence (its head, then
// the rounded SE), the SD formula and the computation, empty lines between.
void AppendConfidenceText(std::string& text, std::string_view first_line,
                          std::string_view sentence_head, const DerivationFigures& figures,
                          const NumberLocale& locale) {
  text.reserve(text.size() + 512);
  text.append(first_line);
  text.append(kCrLf);
  text.append(kCrLf);
  text.append(sentence_head);
  text.append("the estimated standard error computes as (approximately): ");
  AppendNumberText(text, RoundShown(figures.se), locale);
  text.append(kCrLf);
  text.append(kCrLf);
  text.append("The estimated Standard Deviation = sqrt(N) * Standard Error");
  text.append(kCrLf);
  text.append(kCrLf);
  AppendComputation(text, figures, locale);
}

}  // namespace

WorkingReport::WorkingReport(NumberLocale locale) : locale_(std::move(locale)) {}

std::string WorkingReport::result_text(const DerivationFigures& figures) const {
  std::string text;
  text.reserve(48);
  text.append("The standard deviation is: ");
  AppendNumberText(text, RoundShown(figures.sd), locale_);
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

  std::string sentence;
  if (figures.choice == ConfidenceChoice::ConfOther) {
    sentence.append("Applying a user specified value of ");
    AppendNumberText(sentence, figures.z, locale_);
    sentence.append(" as the z-value ");
    sentence.append("or t-value equivalent of the confidence interval, ");
  } else {
    sentence.append("Applying the Central Limit Theorem (and assuming a z-");
    sentence.append("value of ");
    AppendNumberText(sentence, figures.z, locale_);
    sentence.append(" for the entered ");
    sentence.append(figures.confidence_label);
    sentence.append(" confidence interval), ");
  }
  AppendConfidenceText(
      text, "Standard Error = Confidence Error / z-value equivalence of confidence interval",
      sentence, figures, locale_);
  return text;
}

std::string WorkingReport::t_working_text(const DerivationFigures& figures, double df) const {
  std::string sentence = "Applying Student's t distribution (a t-value of ";
  AppendNumberText(sentence, figures.z, locale_);
  sentence.append(" with ");
  AppendNumberText(sentence, df, locale_);
  sentence.append(" degrees of freedom for the entered ");
  sentence.append(figures.confidence_label);
  sentence.append(" confidence interval), ");
  std::string text;
  AppendConfidenceText(text,
                       "Standard Error = Confidence Error / t-value with N-1 degrees of freedom",
                       sentence, figures, locale_);
  return text;
}

}  // namespace kelmory
