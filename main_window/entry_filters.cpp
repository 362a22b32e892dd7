#include "main_window/entry_filters.h"

namespace kelmory {

namespace {

constexpr std::int16_t kBackspace = 8;

std::int16_t CodeOf(const char* one_character) {
  return static_cast<std::int16_t>(QString::fromLatin1(one_character).at(0).unicode());
}

bool IsDigit(std::int16_t key_ascii) {
  return key_ascii >= CodeOf("0") && key_ascii <= CodeOf("9");
}

}  // namespace

void DecimalFilter(std::int16_t& key_ascii, const QString& box_text) {
  const std::int16_t point = CodeOf(".");
  if (key_ascii != point && key_ascii != kBackspace && !IsDigit(key_ascii)) key_ascii = 0;
  // The whole text is searched: a selected point still counts as present.
  if (key_ascii == point && box_text.contains(QChar(point))) key_ascii = 0;
}

void WholeNumberFilter(std::int16_t& key_ascii) {
  if (key_ascii == kBackspace) return;
  if (!IsDigit(key_ascii)) key_ascii = 0;
}

}  // namespace kelmory
