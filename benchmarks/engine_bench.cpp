// The engine's speed: derive in both modes (result and working texts
// included), NumberText and ParseNumber. Target: derive in confidence-error
// mode under 1 microsecond median.

#include <benchmark/benchmark.h>

#include <string>

#include "engine/number_text.h"
#include "engine/sd_deriver.h"

namespace {

using kelmory::ConfidenceChoice;
using kelmory::DerivationRequest;
using kelmory::NumberLocale;
using kelmory::SdDeriver;

// One derive, result and working texts included.
void BM_Derive(benchmark::State& state, const NumberLocale& locale,
               const DerivationRequest& request) {
  const SdDeriver deriver(locale);
  for (auto _ : state) {
    auto outcome = deriver.derive(request);
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK_CAPTURE(BM_Derive, StandardErrorMode, NumberLocale{},
                  DerivationRequest{"1.5", "30", "", "", ConfidenceChoice::Conf95});
// With the advisory.
BENCHMARK_CAPTURE(BM_Derive, ConfidenceErrorMode99, NumberLocale{},
                  DerivationRequest{"", "20", "1", "", ConfidenceChoice::Conf99});
BENCHMARK_CAPTURE(BM_Derive, ConfidenceErrorModeOther, NumberLocale{},
                  DerivationRequest{"", "20", "5", "2.09", ConfidenceChoice::ConfOther});
BENCHMARK_CAPTURE(BM_Derive, ConfidenceErrorModeArabic, NumberLocale{"\xD9\xAB"},
                  DerivationRequest{"", "20", "5",
                                    "2\xD9\xAB"
                                    "09",
                                    ConfidenceChoice::ConfOther});
BENCHMARK_CAPTURE(BM_Derive, Refusal, NumberLocale{},
                  DerivationRequest{"2", "25", "3", "", ConfidenceChoice::Conf95});

void BM_NumberText(benchmark::State& state) {
  const double values[] = {0.38819875776397517,
                           1.7360776222824454,
                           4.47213595499958,
                           20.0,
                           1e15,
                           4.94065645841247e-324,
                           0.3882,
                           123456789012345.5};
  std::size_t i = 0;
  for (auto _ : state) {
    auto text = kelmory::NumberText(values[i++ % std::size(values)]);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_NumberText);

void BM_ParseNumber(benchmark::State& state) {
  const std::string texts[] = {"2.09", " 3.92 ", "100", "0.38819875776397517", ".5", "1.2.3"};
  std::size_t i = 0;
  for (auto _ : state) {
    auto value = kelmory::ParseNumber(texts[i++ % std::size(texts)]);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_ParseNumber);

void BM_ParseNumberArabic(benchmark::State& state) {
  const NumberLocale locale{"\xD9\xAB"};
  const std::string texts[] = {
      "2\xD9\xAB"
      "09",
      " 3\xD9\xAB"
      "92 ",
      "100", "2.5"};
  std::size_t i = 0;
  for (auto _ : state) {
    auto value = kelmory::ParseNumber(texts[i++ % std::size(texts)], locale);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_ParseNumberArabic);

}  // namespace

BENCHMARK_MAIN();
