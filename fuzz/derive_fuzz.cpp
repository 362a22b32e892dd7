// libFuzzer target for the derivation engine, checked against references
// that share no code with it: strtod for ParseNumber, printf for NumberText,
// nearbyint for RoundToPlaces and RoundShown, and the formulas redone here on strtod values.
// It also checks that blanks around the texts and the choice of separator
// change no outcome.
//
// Input layout: byte 0 is the ConfidenceChoice (low two bits); byte 1 picks
// the separator (".", "," or U+066B); the rest is se, n, ci, z, split at '\n'.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/number_text.h"
#include "engine/sd_deriver.h"

namespace {

using namespace kelmory;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
  return text;
}

// Digits and at most one point once the blanks are stripped and the separator
// is a point; the C library converts.
std::optional<double> ReferenceParse(std::string_view text, std::string_view separator) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  const std::string body = Replace(
      std::string(text.substr(first, text.find_last_not_of(" \t") + 1 - first)), separator, ".");
  if (body.find_first_not_of("0123456789.") != std::string::npos ||
      body.find('.') != body.rfind('.') || body.find_first_of("0123456789") == std::string::npos)
    return std::nullopt;
  const double value = std::strtod(body.c_str(), nullptr);
  return std::isinf(value) ? std::nullopt : std::optional(value);
}

// Plain from 0.0001 up to below 10^15, judged on the value rounded to 15
// significant digits; exponent form with at least two exponent digits.
std::string ReferenceText(double value, std::string_view separator) {
  if (value == 0) return "0";
  char text[400];
  std::snprintf(text, sizeof text, "%.14e", value);
  const int exponent = std::atoi(std::strchr(text, 'e') + 1);
  std::string exponent_part;
  if (exponent >= -4 && exponent < 15) {
    std::snprintf(text, sizeof text, "%.*f", 14 - exponent, value);
  } else {
    *std::strchr(text, 'e') = '\0';
    char tail[8];
    std::snprintf(tail, sizeof tail, "E%+03d", exponent);
    exponent_part = tail;
  }
  std::string shown = text;
  if (shown.find('.') != std::string::npos) {
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.') shown.pop_back();
  }
  return Replace(shown, ".", separator) + exponent_part;
}

// Five places; below 0.001 three significant digits, the exponent read from
// printf's exact expansion and the power of ten from strtod. Nothing for
// magnitudes whose power of ten is beyond the doubles.
std::optional<double> ReferenceShown(double value) {
  if (!std::isfinite(value * 1e5)) return value;  // a whole number already
  if (value == 0 || std::fabs(value) >= 0.001) return std::nearbyint(value * 1e5) / 1e5;
  char digits[800];
  std::snprintf(digits, sizeof digits, "%.767e", value);
  const int places = 2 - std::atoi(std::strchr(digits, 'e') + 1);
  if (places > 308) return std::nullopt;
  const double scale = std::strtod(("1e" + std::to_string(places)).c_str(), nullptr);
  return std::nearbyint(value * scale) / scale;
}

void CheckNumber(double value, const NumberLocale& locale) {
  for (const double v : {value, -value}) {
    Require(NumberText(v, locale) == ReferenceText(v, locale.decimal_separator));
    if (std::fabs(v * 1e5) < 0x1p52) Require(RoundToPlaces(v, 5) == std::nearbyint(v * 1e5) / 1e5);
  }
}

// a and b are equal where a holds separator sa and b holds sb at the same places.
bool SameUpToSeparator(std::string_view a, std::string_view sa, std::string_view b,
                       std::string_view sb) {
  while (!a.empty() && !b.empty()) {
    if (a.starts_with(sa) && b.starts_with(sb)) {
      a.remove_prefix(sa.size()), b.remove_prefix(sb.size());
    } else if (a[0] == b[0]) {
      a.remove_prefix(1), b.remove_prefix(1);
    } else {
      return false;
    }
  }
  return a.empty() && b.empty();
}

bool SameOutcome(const DerivationOutcome& a, std::string_view sa, const DerivationOutcome& b,
                 std::string_view sb) {
  const DerivationFigures &f = a.figures, &g = b.figures;
  return a.kind == b.kind && a.refusal_message == b.refusal_message &&
         a.advisory_message == b.advisory_message && f.mode == g.mode && f.choice == g.choice &&
         f.n == g.n && f.se == g.se && f.sd == g.sd && f.z == g.z &&
         f.confidence_label == g.confidence_label &&
         SameUpToSeparator(a.result_text, sa, b.result_text, sb) &&
         SameUpToSeparator(a.working_text, sa, b.working_text, sb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char* const separators[] = {".", ",", "\xD9\xAB"};
  const NumberLocale locale{separators[data[1] % 3]};
  const std::string_view sep = locale.decimal_separator;
  DerivationRequest request;
  request.choice = static_cast<ConfidenceChoice>(data[0] & 3);
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  std::string* const texts[] = {&request.se_text, &request.n_text, &request.ci_text,
                                &request.z_text};
  for (std::string* text : texts) {
    const std::size_t end = rest.find('\n');
    *text = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  }

  std::optional<double> values[4];
  for (int i = 0; i < 4; ++i) {
    values[i] = ReferenceParse(*texts[i], sep);
    Require(ParseNumber(*texts[i], locale) == values[i]);
    if (values[i]) CheckNumber(*values[i], locale);
  }

  const DerivationOutcome o = SdDeriver(locale).derive(request);
  const DerivationFigures& f = o.figures;
  if (o.kind == DerivationOutcome::Kind::Refusal) {
    Require(!o.refusal_message.empty() && o.result_text.empty() && o.working_text.empty() &&
            !o.advisory_message);
  } else {
    const bool se_mode = f.mode == DerivationMode::StandardErrorMode;
    const double z = se_mode                                      ? 0
                     : request.choice == ConfidenceChoice::Conf95 ? 1.96
                     : request.choice == ConfidenceChoice::Conf99 ? 2.576
                                                                  : *values[3];
    const double se = se_mode ? *values[0] : *values[2] / z;
    const double sd = std::sqrt(*values[1]) * se;
    Require(se_mode == !request.se_text.empty() && f.choice == request.choice);
    Require(f.n == *values[1] && f.z == z && f.se == se && f.sd == sd);
    if (const std::optional<double> shown = ReferenceShown(sd))
      Require(o.result_text == "The standard deviation is: " + ReferenceText(*shown, sep));
    Require(o.working_text.ends_with("Therefore, the SD = " + NumberText(sd, locale)));
    Require(o.advisory_message.has_value() ==
            (!se_mode && request.choice != ConfidenceChoice::ConfOther && f.n < 31));
    for (const double v : {std::sqrt(f.n), f.se, f.sd, f.z}) CheckNumber(v, locale);
  }

  // Blanks around the filled texts change nothing.
  DerivationRequest padded = request;
  for (std::string* text : {&padded.se_text, &padded.n_text, &padded.ci_text, &padded.z_text})
    if (!text->empty()) *text = " \t" + *text + "\t ";
  Require(SameOutcome(o, sep, SdDeriver(locale).derive(padded), sep));

  // Nor does another separator, written where this one stood.
  for (const char* other : separators) {
    if (other == sep) continue;
    DerivationRequest moved = request;
    bool clash = false;
    for (std::string* text : {&moved.se_text, &moved.n_text, &moved.ci_text, &moved.z_text}) {
      clash |= *other != '.' && text->find(other) != std::string::npos;
      *text = Replace(*text, sep, other);
    }
    if (!clash) Require(SameOutcome(o, sep, SdDeriver(NumberLocale{other}).derive(moved), other));
  }
  return 0;
}
