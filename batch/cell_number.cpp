#include "batch/cell_number.h"

#include <charconv>
#include <string>
#include <system_error>

#include "engine/scratch_chars.h"

namespace kelmory::batch {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(TrimBlanks(text));
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool IsEmptyCell(std::string_view text) { return TrimBlanks(text).empty(); }

CellNumber ParseCellNumber(std::string_view text, char decimal, bool percent) {
  std::string_view body = TrimBlanks(text);
  if (percent && !body.empty() && body.back() == '%')
    body = TrimBlanks(body.substr(0, body.size() - 1));
  if (body.empty()) return {};

  // Checked and copied in one pass, the separator written as '.', the sign
  // dropped (from_chars takes no '+') and put back at the end.
  const ScratchChars scratch(body.size());
  char* out = scratch.data();
  char* const out_begin = out;

  std::size_t i = 0;
  const bool negative = body[0] == '-';
  if (body[0] == '+' || body[0] == '-') ++i;
  bool digit = false, separator = false;
  // The decimal exponent of the value's leading digit, less the written
  // exponent: it tells an overflow from an underflow when from_chars reports
  // either as out of range.
  long long leading = 0;
  bool nonzero = false;
  for (; i < body.size(); ++i) {
    const char c = body[i];
    if (IsDigit(c)) {
      digit = true;
      if (c != '0' && !nonzero) nonzero = true;
      if (nonzero && !separator) ++leading;
      if (!nonzero && separator) --leading;
      *out++ = c;
    } else if (c == decimal && !separator) {
      separator = true;
      *out++ = '.';
    } else {
      break;
    }
  }
  if (!digit) return {};
  long long exponent = 0;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    *out++ = 'e';
    ++i;
    bool exponent_negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
      exponent_negative = body[i] == '-';
      *out++ = body[i++];
    }
    bool exponent_digit = false;
    for (; i < body.size() && IsDigit(body[i]); ++i) {
      exponent_digit = true;
      if (exponent < 100000000) exponent = exponent * 10 + (body[i] - '0');
      *out++ = body[i];
    }
    if (!exponent_digit) return {};
    if (exponent_negative) exponent = -exponent;
  }
  if (i != body.size()) return {};

  double value = 0;
  const auto [ptr, ec] = std::from_chars(out_begin, out, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    if (nonzero && leading + exponent > 0) return {CellNumber::Kind::OutOfRange, 0};
    value = 0;  // below the smallest subnormal: the nearest double
  } else if (ec != std::errc{} || ptr != out) {
    return {};
  }
  // -0 reads as 0: a sign on zero would only show up in the results.
  return {CellNumber::Kind::Number, negative && value != 0 ? -value : value};
}

}  // namespace kelmory::batch
