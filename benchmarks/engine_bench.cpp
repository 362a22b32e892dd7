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

void BM_DeriveStandardErrorMode(benchmark::State& state) {
  const SdDeriver deriver;
  const DerivationRequest request{"1.5", "30", "", "", ConfidenceChoice::Conf95};
  for (auto _ : state) {
    auto outcome = deriver.derive(request);
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK(BM_DeriveStandardErrorMode);

void BM_DeriveConfidenceErrorMode99(benchmark::State& state) {
  const SdDeriver deriver;
  const DerivationRequest request{"", "20", "1", "", ConfidenceChoice::Conf99};
  for (auto _ : state) {
    auto outcome = deriver.derive(request);  // with the advisory
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK(BM_DeriveConfidenceErrorMode99);

void BM_DeriveConfidenceErrorModeOther(benchmark::State& state) {
  const SdDeriver deriver;
  const DerivationRequest request{"", "20", "5", "2.09", ConfidenceChoice::ConfOther};
  for (auto _ : state) {
    auto outcome = deriver.derive(request);
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK(BM_DeriveConfidenceErrorModeOther);

void BM_DeriveConfidenceErrorModeArabic(benchmark::State& state) {
  const SdDeriver deriver(NumberLocale{"\xD9\xAB"});
  const DerivationRequest request{"", "20", "5",
                                  "2\xD9\xAB"
                                  "09",
                                  ConfidenceChoice::ConfOther};
  for (auto _ : state) {
    auto outcome = deriver.derive(request);
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK(BM_DeriveConfidenceErrorModeArabic);

void BM_DeriveRefusal(benchmark::State& state) {
  const SdDeriver deriver;
  const DerivationRequest request{"2", "25", "3", "", ConfidenceChoice::Conf95};
  for (auto _ : state) {
    auto outcome = deriver.derive(request);
    benchmark::DoNotOptimize(outcome);
  }
}
BENCHMARK(BM_DeriveRefusal);

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
