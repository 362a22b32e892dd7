// libFuzzer target for the derivation engine. Every outcome must be either a
// Refusal with a message and no texts, or a Result whose figures are finite
// and whose texts are filled and agree with WorkingReport.
//
// Input layout: byte 0 is the ConfidenceChoice (low two bits); byte 1 the
// separator: ".", ",", U+066B, "'" or, for 4 and above, a fifth field; the
// rest is se, n, ci, z (and that separator), split at '\n'.

#include <cmath>
#include <cstddef>
#include <cstdint>
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

std::string NextField(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  const std::string field(rest.substr(0, end));
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelmory;
  if (size < 2) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  DerivationRequest request;
  request.choice = static_cast<ConfidenceChoice>(data[0] & 3);
  std::string* const texts[] = {&request.se_text, &request.n_text, &request.ci_text,
                                &request.z_text};
  for (std::string* text : texts) *text = NextField(rest);
  const char* const separators[] = {".", ",", "\xD9\xAB", "'"};
  const NumberLocale locale{data[1] < 4 ? std::string(separators[data[1]]) : NextField(rest)};

  const DerivationOutcome o = SdDeriver(locale).derive(request);
  const DerivationFigures& f = o.figures;
  if (o.kind == DerivationOutcome::Kind::Refusal) {
    Require(!o.refusal_message.empty() && o.result_text.empty() && o.working_text.empty() &&
            !o.advisory_message);
  } else {
    Require(o.refusal_message.empty() && std::isfinite(f.n) && std::isfinite(f.se) &&
            std::isfinite(f.sd) && std::isfinite(f.z) && f.n >= 0 && f.se >= 0 && f.sd >= 0);
    Require(!o.result_text.empty() && !o.working_text.empty() && o.working_text.back() != '\n');
    const WorkingReport report(locale);
    Require(report.result_text(f) == o.result_text && report.working_text(f) == o.working_text);
  }

  // The helpers on their own, on whatever the texts read as.
  for (const std::string* text : texts) {
    if (const std::optional<double> value = ParseNumber(*text, locale)) {
      Require(std::isfinite(*value) && *value >= 0 && std::isfinite(RoundToPlaces(*value, 5)));
      const std::string shown = NumberText(*value);  // never NaN or Infinity
      Require(!shown.empty() && shown.find_first_not_of("0123456789.E+-") == std::string::npos);
    }
  }
  return 0;
}
