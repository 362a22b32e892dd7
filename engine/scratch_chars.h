#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace kelmory {

// Room for `size` characters: on the stack for the short texts that numbers
// almost always are, on the heap for the rest.
class ScratchChars {
 public:
  explicit ScratchChars(std::size_t size) {
    if (size > stack_.size()) {
      heap_.resize(size);
      data_ = heap_.data();
    }
  }
  ScratchChars(const ScratchChars&) = delete;
  ScratchChars& operator=(const ScratchChars&) = delete;

  char* data() const { return data_; }

 private:
  std::array<char, 128> stack_;  // only the written part is read
  std::string heap_;
  char* data_ = stack_.data();
};

}  // namespace kelmory
