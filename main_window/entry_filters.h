#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

namespace kelmory {

// Keystroke filters of the numeric boxes; a refused key is set to 0.
// Digits, backspace and one decimal separator anywhere in the box's text:
// "." or the locale's own, whichever the user types, but not both.
void DecimalFilter(std::int16_t& key_ascii, const QString& box_text, QChar locale_separator);
// Digits and backspace only.
void WholeNumberFilter(std::int16_t& key_ascii);

}  // namespace kelmory
