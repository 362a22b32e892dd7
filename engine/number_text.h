#pragma once
// The engine: the headless core of Kelmory. It turns the main window's box
// texts into the SD, the working text or a refusal. It knows nothing of Qt;
// the windows hand it plain UTF-8 texts and the user's decimal separator.

#include <optional>
#include <string>
#include <string_view>

namespace kelmory {

// The user's number conventions, passed explicitly so that nothing here
// depends on process-wide locale state.
struct NumberLocale {
  std::string decimal_separator = ".";  // UTF-8, e.g. "," or U+066B
};

// Digits with at most one decimal separator (the locale's or "."), at least
// one digit, optionally surrounded by blanks. Nothing for anything else.
std::optional<double> ParseNumber(std::string_view text, const NumberLocale& locale = {});

// Display text of a finite double: 15 significant digits, no trailing zeros,
// exponent form from 1E+15 up and below 0.0001.
std::string NumberText(double value, const NumberLocale& locale = {});

// NumberText appended to out, without a temporary string.
void AppendNumberText(std::string& out, double value, const NumberLocale& locale = {});

// Half-to-even rounding decided on the scaled double product.
double RoundToPlaces(double value, int places);

// The rounding of the figures shown tidied (the result and the SE sentence):
// 5 places, or for a nonzero magnitude below 0.001 three significant digits,
// RoundToPlaces(value, 2 - e) with e the exponent of its exact decimal
// expansion d.dd... x 10^e.
double RoundShown(double value);

}  // namespace kelmory
