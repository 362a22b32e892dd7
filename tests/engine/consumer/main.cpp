// Uses the engine's public surface as an outside program would.
#include <cstdio>
#include <optional>
#include <string>

#include "engine/number_text.h"
#include "engine/sd_deriver.h"
#include "engine/working_report.h"

int main() {
  using namespace kelmory;
  int failures = 0;
  auto check = [&failures](bool ok, const char* what) {
    if (!ok) {
      std::printf("FAILED: %s\n", what);
      ++failures;
    }
  };

  const SdDeriver deriver{NumberLocale{}};
  DerivationRequest request;
  request.se_text = "2";
  request.n_text = "25";
  request.choice = ConfidenceChoice::Conf95;
  const DerivationOutcome outcome = deriver.derive(request);
  check(outcome.kind == DerivationOutcome::Kind::Result, "standard-error mode gives a Result");
  check(outcome.figures.mode == DerivationMode::StandardErrorMode, "the mode");
  check(outcome.figures.sd == 10.0, "sd = 10");
  check(outcome.result_text == "The standard deviation is: 10", "the result text");
  check(outcome.working_text ==
            "Standard Deviation = sqrt(N) * Standard Error\r\nWhich computes to 5 * 2\r\n\r\n"
            "Therefore, the SD = 10",
        "the working text");
  check(!outcome.advisory_message.has_value(), "no advisory");

  const DerivationFigures figures = outcome.figures;
  const WorkingReport report{NumberLocale{","}};
  check(report.result_text(figures) == "The standard deviation is: 10", "WorkingReport");

  const std::optional<double> parsed = ParseNumber("2,5", NumberLocale{","});
  check(parsed && *parsed == 2.5, "ParseNumber");
  check(NumberText(1e15) == "1E+15", "NumberText");
  check(RoundToPlaces(3.000015, 5) == 3.00002, "RoundToPlaces");

  if (failures == 0) std::printf("consumer: engine surface OK\n");
  return failures == 0 ? 0 : 1;
}
