#pragma once
// One row's cells in a single block of memory: the count, where each cell
// ends, then the texts back to back. A review of millions of rows is held
// in little more than its text, where a vector of strings would take
// several times as much.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelmory::table {

class PackedCells {
 public:
  PackedCells() = default;
  explicit PackedCells(std::span<const std::string_view> cells) { Pack(cells); }
  explicit PackedCells(const std::vector<std::string>& cells);
  // `count` empty cells.
  explicit PackedCells(std::size_t count);
  PackedCells(const PackedCells& other);
  PackedCells& operator=(const PackedCells& other);
  PackedCells(PackedCells&&) noexcept = default;
  PackedCells& operator=(PackedCells&&) noexcept = default;

  std::size_t size() const { return data_ ? Count() : 0; }
  bool empty() const { return size() == 0; }
  std::string_view operator[](std::size_t i) const;
  // Views into this row, valid until it changes.
  std::vector<std::string_view> Views() const;
  void AppendViews(std::vector<std::string_view>& out) const;
  std::vector<std::string> ToStrings() const;

  // Cell `i` becomes `text`; the row grows to hold it.
  void Set(std::size_t i, std::string_view text);
  void Resize(std::size_t count);
  bool operator==(const PackedCells& other) const;

 private:
  void Pack(std::span<const std::string_view> cells);
  bool Wide() const;
  std::uint32_t Count() const;
  std::size_t TextAt() const;
  std::uint32_t End(std::size_t i) const;
  std::size_t Bytes() const;

  std::unique_ptr<char[]> data_;
};

}  // namespace kelmory::table
