#pragma once
// The number cells of a batch table: stricter than the window's boxes in one
// way (only the chosen decimal separator) and wider in another (a sign and an
// exponent, as statistics software writes them).

#include <string>
#include <string_view>

namespace kelmory::batch {

struct CellNumber {
  enum class Kind { Number, NotANumber, OutOfRange };
  Kind kind = Kind::NotANumber;
  double value = 0;
};

// Blanks, an optional sign, digits with at most one `decimal`, an optional
// exponent, blanks. With `percent`, one "%" may follow the number.
CellNumber ParseCellNumber(std::string_view text, char decimal, bool percent = false);

// The text without its leading and trailing blanks (spaces and tabs).
std::string_view TrimBlanks(std::string_view text);

// A header name as matched: without blanks around, ASCII letters in lower
// case.
std::string Lower(std::string_view text);

// Nothing or only blanks.
bool IsEmptyCell(std::string_view text);

}  // namespace kelmory::batch
