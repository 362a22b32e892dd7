#pragma once
// std::bit_cast, or where the standard library lacks it (the libc++ of
// Debian's emscripten 3.1.6) the same reinterpretation through memcpy.

#include <cstring>
#include <type_traits>
#if __has_include(<bit>)
#include <bit>
#endif

namespace kelmory {

template <class To, class From>
To BitCast(const From& from) {
  static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
                std::is_trivially_copyable_v<From>);
#if defined(__cpp_lib_bit_cast)
  return std::bit_cast<To>(from);
#else
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
#endif
}

}  // namespace kelmory
