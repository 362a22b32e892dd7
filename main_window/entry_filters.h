#pragma once

#include <QString>
#include <cstdint>

namespace kelmory {

// Keystroke filters of the numeric boxes; a refused key is set to 0.
// Digits, backspace and one "." anywhere in the box's text.
void DecimalFilter(std::int16_t& key_ascii, const QString& box_text);
// Digits and backspace only.
void WholeNumberFilter(std::int16_t& key_ascii);

}  // namespace kelmory
