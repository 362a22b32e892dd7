#include "rows/cell_number.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "engine/scratch_chars.h"

namespace kelmory::batch {
namespace {

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

CellNumber ParseCellNumber(std::string_view text, char decimal, bool percent) {
  std::string_view body = TrimBlanks(text);
  if (percent && !body.empty() && body.back() == '%')
    body = TrimBlanks(body.substr(0, body.size() - 1));
  if (body.empty()) return {};

  std::size_t i = 0;
  const bool negative = body[0] == '-';
  if (body[0] == '+' || body[0] == '-') ++i;
  const std::size_t first = i;

  // The common cell, at most 15 digits and no exponent: the digits and the
  // power of ten are exact doubles, so one division is the correctly
  // rounded value that fast_float would give, at a fraction of its cost.
  std::uint64_t mantissa = 0;
  int digits = 0, fraction_digits = 0;
  bool separator = false, nonzero_digit = false;
  for (; i < body.size(); ++i) {
    const char c = body[i];
    if (IsDigit(c)) {
      mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');  // used only up to 15 digits
      nonzero_digit |= c != '0';
      ++digits;
      fraction_digits += separator;
    } else if (c == decimal && !separator) {
      separator = true;
    } else {
      break;
    }
  }
  if (digits == 0) return {};
  if (i == body.size() && digits <= 15) {
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fraction_digits];
    return {CellNumber::Kind::Number, negative && value != 0 ? -value : value};
  }

  // Otherwise fast_float reads a copy of what was checked above, the
  // separator written as '.', the sign dropped (it takes no '+') and put
  // back at the end.
  const ScratchChars scratch(body.size());
  char* const out_begin = scratch.data();
  char* out = std::replace_copy(body.begin() + first, body.begin() + i, out_begin, decimal, '.');
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    *out++ = 'e';
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) *out++ = body[i++];
    bool exponent_digit = false;
    for (; i < body.size() && IsDigit(body[i]); ++i) {
      exponent_digit = true;
      *out++ = body[i];
    }
    if (!exponent_digit) return {};
  }
  if (i != body.size()) return {};

  double value = 0;
  const auto [ptr, ec] =
      fast_float::from_chars(out_begin, out, value, fast_float::chars_format::general);
  if (ec != std::errc{} || ptr != out) return {};
  // Overflow, or a value too small for any double but 0: either would
  // misstate the cell.
  if (std::isinf(value) || (value == 0 && nonzero_digit)) return {CellNumber::Kind::OutOfRange, 0};
  // -0 reads as 0: a sign on zero would only show up in the results.
  return {CellNumber::Kind::Number, negative && value != 0 ? -value : value};
}

WholeNumber ReadWholeNumber(std::string_view text) {
  std::string_view body = TrimBlanks(text);
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) body.remove_prefix(1);
  // The common case, a plain count, is whole below 10^15 < 2^53.
  if (!body.empty() && body.size() <= 15 && std::all_of(body.begin(), body.end(), IsDigit))
    return WholeNumber::Whole;
  std::string digits;
  long long point = -1;  // digits before the separator
  std::size_t i = 0;
  for (; i < body.size(); ++i) {
    if (IsDigit(body[i])) {
      digits.push_back(body[i]);
    } else if ((body[i] == '.' || body[i] == ',') && point < 0) {
      point = static_cast<long long>(digits.size());
    } else {
      break;
    }
  }
  if (point < 0) point = static_cast<long long>(digits.size());
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    const bool negative = i < body.size() && body[i] == '-';
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    long long exponent = 0;
    for (; i < body.size() && IsDigit(body[i]); ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (body[i] - '0');
    }
    point += negative ? -exponent : exponent;
  }
  const long long size = static_cast<long long>(digits.size());
  for (long long k = std::max(point, 0LL); k < size; ++k) {
    if (digits[static_cast<std::size_t>(k)] != '0') return WholeNumber::NotWhole;
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos || static_cast<long long>(first) >= point)
    return WholeNumber::Whole;
  // 2^53 = 9007199254740992 has 16 digits.
  constexpr std::string_view kLimit = "9007199254740992";
  const long long length = point - static_cast<long long>(first);
  if (length != static_cast<long long>(kLimit.size()))
    return length > static_cast<long long>(kLimit.size()) ? WholeNumber::TooLarge
                                                          : WholeNumber::Whole;
  std::string whole = digits.substr(first, static_cast<std::size_t>(length));
  whole.resize(kLimit.size(), '0');
  return whole > kLimit ? WholeNumber::TooLarge : WholeNumber::Whole;
}

bool IsGrouped(std::string_view text, char decimal, bool percent) {
  std::string_view body = TrimBlanks(text);
  if (percent && !body.empty() && body.back() == '%')
    body = TrimBlanks(body.substr(0, body.size() - 1));
  const char group = decimal == '.' ? ',' : '.';
  std::size_t i = 0;
  if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
  const auto digits = [&] {
    std::size_t count = 0;
    for (; i < body.size() && IsDigit(body[i]); ++i) ++count;
    return count;
  };
  const std::size_t lead = digits();
  if (lead < 1 || lead > 3) return false;
  int groups = 0;
  for (; i < body.size() && body[i] == group; ++groups) {
    ++i;
    if (digits() != 3) return false;
  }
  if (groups == 0) return false;
  if (i < body.size() && body[i] == decimal) {
    ++i;
    if (digits() == 0) return false;
  }
  return i == body.size();
}

std::string DecimalHint(std::string_view text, char decimal, bool percent) {
  const char other = decimal == '.' ? ',' : '.';
  const bool other_reads = ParseCellNumber(text, other, percent).kind == CellNumber::Kind::Number;
  const auto without = [&] {
    std::string written(TrimBlanks(text));
    std::erase(written, other);
    return written;
  };
  const auto moved = [&] {
    std::string written(TrimBlanks(text));
    std::replace(written.begin(), written.end(), other, decimal);
    return written;
  };
  if (IsGrouped(text, decimal, percent)) {
    // 2.000 in a table of decimal commas is two thousand to some readers
    // and two to others: neither is taken.
    if (!other_reads)
      return std::string(" (digit grouping: write it without the '") + other + "', as " +
             without() + ")";
    return std::string(" (ambiguous: '") + other + "' groups digits or marks decimals; write " +
           without() + " without grouping, or " + moved() + " for a decimal)";
  }
  if (!other_reads) return {};
  return std::string(" (a decimal ") + (other == ',' ? "comma" : "point") + "? write it " +
         moved() + ")";
}

std::string CellExcerpt(std::string_view text) {
  constexpr int kMost = 40;
  int characters = 0;
  std::size_t at = 0;
  // UTF-8: a character starts at every byte that is not a continuation byte.
  for (; at < text.size(); ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && ++characters > kMost) break;
  }
  if (at == text.size()) return std::string(text);
  return std::string(text.substr(0, at)) + "\u2026";
}

}  // namespace kelmory::batch
