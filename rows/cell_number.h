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
// exponent, blanks. With `percent`, one "%" may follow the number. Out of
// range: beyond the doubles on either side, overflow or underflow to 0.
CellNumber ParseCellNumber(std::string_view text, char decimal, bool percent = false);

// A count judged on its text, which ParseCellNumber has read as a number
// (with either separator, so "." or "," is the one it holds): the
// double it rounds to would pass 25.0000000000000001 as whole and
// 9007199254740993 as ...992.
enum class WholeNumber { Whole, NotWhole, TooLarge /* above 2^53 */ };
WholeNumber ReadWholeNumber(std::string_view text);

// Digits grouped in threes by the separator that is not `decimal`, as
// spreadsheets format numbers: "1,024" or "12,345.6" with '.', "2.000" or
// "1.234,5" with ','. Such a text is refused: it reads two ways.
bool IsGrouped(std::string_view text, char decimal, bool percent = false);

// For a cell that is not a number with `decimal`: how to write it, for a
// grouped number or one with the other separator; else empty. It names no
// option, so that the batch and the window can both show it.
std::string DecimalHint(std::string_view text, char decimal, bool percent = false);

// At most the first 40 characters of a cell, with "…" when cut, for messages.
std::string CellExcerpt(std::string_view text);

// The text without its leading and trailing blanks (spaces and tabs).
std::string_view TrimBlanks(std::string_view text);

// A header name as matched: without blanks around, ASCII letters in lower
// case.
std::string Lower(std::string_view text);

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Nothing or only blanks. Asked of every cell of every row, so inline.
inline bool IsEmptyCell(std::string_view text) {
  return text.empty() || (IsBlank(text.front()) && TrimBlanks(text).empty());
}

}  // namespace kelmory::batch
