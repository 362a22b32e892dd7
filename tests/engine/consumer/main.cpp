// Uses the engine's public surface as an outside program would; exits
// non-zero on any mismatch.
#include "engine/number_text.h"
#include "engine/sd_deriver.h"
#include "engine/working_report.h"

int main() {
  using namespace kelmory;
  const NumberLocale comma{","};
  const DerivationOutcome o =
      SdDeriver(comma).derive({"2,5", "4", "", "", ConfidenceChoice::Conf95});
  return o.result_text != "The standard deviation is: 5" ||
         WorkingReport(comma).working_text(o.figures) != o.working_text ||
         ParseNumber("2.5") != 2.5 || NumberText(RoundToPlaces(1.000005, 5)) != "1";
}
