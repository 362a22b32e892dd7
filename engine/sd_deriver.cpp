#include "engine/sd_deriver.h"

#include <cmath>
#include <string_view>
#include <utility>

#include "engine/refusals.h"
#include "engine/working_report.h"

namespace kelmory {
namespace {

constexpr double kZ95 = 1.96;
constexpr double kZ99 = 2.576;
constexpr double kSmallSampleThreshold = 31;

DerivationOutcome Refusal(std::string_view message) {
  DerivationOutcome outcome;
  outcome.kind = DerivationOutcome::Kind::Refusal;
  outcome.refusal_message = message;
  return outcome;
}

}  // namespace

SdDeriver::SdDeriver(NumberLocale locale) : locale_(std::move(locale)) {}

DerivationOutcome SdDeriver::derive(const DerivationRequest& request) const {
  // Mode selection: filled means not the empty string; blanks count.
  const bool se_filled = !request.se_text.empty();
  const bool n_filled = !request.n_text.empty();
  const bool ci_filled = !request.ci_text.empty();
  if (se_filled && n_filled && ci_filled) return Refusal(refusals::kAllThreeBoxes);
  if (!n_filled || se_filled == ci_filled) return Refusal(refusals::kNeitherMode);

  DerivationFigures figures;
  figures.choice = request.choice;

  if (se_filled) {
    // Standard-error mode: se, then n. The choice and the z box are ignored.
    figures.mode = DerivationMode::StandardErrorMode;
    const auto se = ParseNumber(request.se_text, locale_);
    if (!se) return Refusal(refusals::kStandardErrorBox);
    const auto n = ParseNumber(request.n_text, locale_);
    if (!n) return Refusal(refusals::kTotalNBox);
    figures.n = *n;
    figures.se = *se;
  } else {
    // Confidence-error mode: the fixed refusal first, then z (under Other
    // only), n, ci.
    figures.mode = DerivationMode::ConfidenceErrorMode;
    switch (request.choice) {
      case ConfidenceChoice::Conf95:
        figures.z = kZ95;
        figures.confidence_label = "95%";
        break;
      case ConfidenceChoice::Conf99:
        figures.z = kZ99;
        figures.confidence_label = "99%";
        break;
      case ConfidenceChoice::ConfOther: {
        if (request.z_text.empty()) return Refusal(refusals::kOtherWithoutZ);
        const auto z = ParseNumber(request.z_text, locale_);
        if (!z) return Refusal(refusals::kZBox);
        if (!(*z > 0)) return Refusal(refusals::kZNotPositive);
        figures.z = *z;
        break;
      }
      case ConfidenceChoice::ConfNone:
      default:
        return Refusal(refusals::kNoConfidenceLevel);
    }
    const auto n = ParseNumber(request.n_text, locale_);
    if (!n) return Refusal(refusals::kTotalNBox);
    const auto ci = ParseNumber(request.ci_text, locale_);
    if (!ci) return Refusal(refusals::kConfidenceErrorBox);
    figures.n = *n;
    figures.se = *ci / figures.z;  // one double division, stored
  }

  if (!std::isfinite(figures.se)) return Refusal(refusals::kTooLarge);
  figures.sd = std::sqrt(figures.n) * figures.se;  // one double multiplication
  if (!std::isfinite(figures.sd)) return Refusal(refusals::kTooLarge);

  DerivationOutcome outcome;
  outcome.kind = DerivationOutcome::Kind::Result;
  const WorkingReport report(locale_);
  outcome.result_text = report.result_text(figures);
  outcome.working_text = report.working_text(figures);
  if (figures.mode == DerivationMode::ConfidenceErrorMode &&
      figures.choice != ConfidenceChoice::ConfOther && figures.n < kSmallSampleThreshold) {
    outcome.advisory_message = std::string(kSmallSampleAdvisory);
  }
  outcome.figures = std::move(figures);
  return outcome;
}

}  // namespace kelmory
