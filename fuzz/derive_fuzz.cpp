// libFuzzer target for the derivation engine. The input is split into a
// choice, a decimal separator and the four box texts; every outcome must be
// either a Refusal with a message, or a Result whose figures are finite and
// whose texts are filled.
//
// Input layout:
//   byte 0        the ConfidenceChoice (low two bits)
//   byte 1        the separator: ".", ",", U+066B, "'" or, for 4 and above,
//                 the fifth field below
//   the rest      se, n, ci, z and a custom separator, split at '\n'

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "engine/number_text.h"
#include "engine/sd_deriver.h"
#include "engine/working_report.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

std::string_view NextField(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  const std::string_view field = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  return field;
}

bool AllFinite(const kelmory::DerivationFigures& f) {
  return std::isfinite(f.n) && std::isfinite(f.se) && std::isfinite(f.sd) && std::isfinite(f.z);
}

void CheckNumberText(double value, const kelmory::NumberLocale& locale) {
  Require(!kelmory::NumberText(value, locale).empty());
  // A finite value never reads as a non-finite one (checked with the point,
  // since a custom separator may be any text).
  const std::string text = kelmory::NumberText(value);
  Require(text.find("NaN") == std::string::npos && text.find("Infinity") == std::string::npos);
  Require(!std::isfinite(kelmory::RoundToPlaces(value, 5)) == !std::isfinite(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto choice = static_cast<kelmory::ConfidenceChoice>(data[0] & 3);
  const unsigned separator_kind = data[1];
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);

  kelmory::DerivationRequest request;
  request.se_text = NextField(rest);
  request.n_text = NextField(rest);
  request.ci_text = NextField(rest);
  request.z_text = NextField(rest);
  request.choice = choice;

  kelmory::NumberLocale locale;
  switch (separator_kind) {
    case 0:
      locale.decimal_separator = ".";
      break;
    case 1:
      locale.decimal_separator = ",";
      break;
    case 2:
      locale.decimal_separator = "\xD9\xAB";
      break;
    case 3:
      locale.decimal_separator = "'";
      break;
    default:
      locale.decimal_separator = std::string(NextField(rest));
      break;
  }

  const kelmory::DerivationOutcome outcome = kelmory::SdDeriver(locale).derive(request);
  if (outcome.kind == kelmory::DerivationOutcome::Kind::Refusal) {
    Require(!outcome.refusal_message.empty());
    Require(outcome.result_text.empty() && outcome.working_text.empty());
    Require(!outcome.advisory_message.has_value());
  } else {
    Require(outcome.kind == kelmory::DerivationOutcome::Kind::Result);
    Require(outcome.refusal_message.empty());
    Require(AllFinite(outcome.figures));
    Require(outcome.figures.n >= 0 && outcome.figures.se >= 0 && outcome.figures.sd >= 0);
    Require(!outcome.result_text.empty() && !outcome.working_text.empty());
    Require(outcome.working_text.size() < 2 ||
            outcome.working_text.compare(outcome.working_text.size() - 2, 2, "\r\n") != 0);
    Require(!outcome.advisory_message || !outcome.advisory_message->empty());
    const kelmory::WorkingReport report(locale);
    Require(report.result_text(outcome.figures) == outcome.result_text);
    Require(report.working_text(outcome.figures) == outcome.working_text);
  }

  // The helpers on their own, on whatever the texts read as.
  for (const std::string* text :
       {&request.se_text, &request.n_text, &request.ci_text, &request.z_text}) {
    const std::optional<double> value = kelmory::ParseNumber(*text, locale);
    if (value) {
      Require(std::isfinite(*value) && *value >= 0);
      CheckNumberText(*value, locale);
    }
  }
  return 0;
}
