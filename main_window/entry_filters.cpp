#include "main_window/entry_filters.h"

#include <algorithm>

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

void DecimalFilter(std::int16_t& key_ascii, const QString& box_text, QChar locale_separator) {
  const QChar point(CodeOf("."));
  const auto is_separator = [&](QChar c) { return c == point || c == locale_separator; };
  const QChar key(static_cast<char16_t>(key_ascii));
  if (!is_separator(key) && key_ascii != kBackspace && !IsDigit(key_ascii)) key_ascii = 0;
  // The whole text is searched: a selected separator still counts as present.
  if (key_ascii != 0 && is_separator(key) &&
      std::any_of(box_text.begin(), box_text.end(), is_separator))
    key_ascii = 0;
}

void WholeNumberFilter(std::int16_t& key_ascii) {
  if (key_ascii == kBackspace) return;
  if (!IsDigit(key_ascii)) key_ascii = 0;
}

}  // namespace kelmory
