#include "table/packed_cells.h"

#include <algorithm>
#include <cstring>

namespace kelmory::table {
namespace {

// The first word holds the count, its top bit set where the ends take four
// bytes each; most rows fit two-byte ends.
constexpr std::size_t kHead = sizeof(std::uint32_t);
constexpr std::uint32_t kWide = 0x80000000u;

template <typename Word>
Word Load(const char* at) {
  Word value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename Word>
void Store(char* at, std::size_t value) {
  const auto word = static_cast<Word>(value);
  std::memcpy(at, &word, sizeof word);
}

}  // namespace

PackedCells::PackedCells(const std::vector<std::string>& cells) {
  const std::vector<std::string_view> views(cells.begin(), cells.end());
  Pack(views);
}

PackedCells::PackedCells(std::size_t count) {
  const std::vector<std::string_view> views(count);
  Pack(views);
}

PackedCells::PackedCells(const PackedCells& other) {
  if (!other.data_) return;
  data_ = std::unique_ptr<char[]>(new char[other.Bytes()]);
  std::memcpy(data_.get(), other.data_.get(), other.Bytes());
}

PackedCells& PackedCells::operator=(const PackedCells& other) {
  if (this != &other) *this = PackedCells(other);
  return *this;
}

// Cells are at most a few MiB (the reader's limits), so 32-bit ends hold
// any row the window takes; rows of less than 64 KiB take 16-bit ones.
void PackedCells::Pack(std::span<const std::string_view> cells) {
  if (cells.empty()) {
    data_.reset();
    return;
  }
  std::size_t text = 0;
  for (const std::string_view cell : cells) text += cell.size();
  const bool wide = text > 0xffff;
  const std::size_t word = wide ? 4 : 2;
  const std::size_t head = kHead + word * cells.size();
  // Built apart: the cells may be views into the block it replaces.
  auto data = std::unique_ptr<char[]>(new char[head + text]);
  Store<std::uint32_t>(data.get(), cells.size() | (wide ? kWide : 0));
  std::size_t end = 0;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    // An empty view may hold no pointer at all, which memcpy must not see.
    if (!cells[i].empty()) std::memcpy(data.get() + head + end, cells[i].data(), cells[i].size());
    end += cells[i].size();
    char* at = data.get() + kHead + word * i;
    wide ? Store<std::uint32_t>(at, end) : Store<std::uint16_t>(at, end);
  }
  data_ = std::move(data);
}

bool PackedCells::Wide() const { return (Load<std::uint32_t>(data_.get()) & kWide) != 0; }

std::uint32_t PackedCells::Count() const { return Load<std::uint32_t>(data_.get()) & ~kWide; }

std::uint32_t PackedCells::End(std::size_t i) const {
  return Wide() ? Load<std::uint32_t>(data_.get() + kHead + 4 * i)
                : Load<std::uint16_t>(data_.get() + kHead + 2 * i);
}

std::size_t PackedCells::TextAt() const { return kHead + (Wide() ? 4 : 2) * Count(); }

std::size_t PackedCells::Bytes() const { return TextAt() + End(Count() - 1); }

std::string_view PackedCells::operator[](std::size_t i) const {
  const std::size_t begin = i == 0 ? 0 : End(i - 1);
  return {data_.get() + TextAt() + begin, End(i) - begin};
}

void PackedCells::AppendViews(std::vector<std::string_view>& out) const {
  for (std::size_t i = 0; i < size(); ++i) out.push_back((*this)[i]);
}

std::vector<std::string_view> PackedCells::Views() const {
  std::vector<std::string_view> views;
  views.reserve(size());
  AppendViews(views);
  return views;
}

std::vector<std::string> PackedCells::ToStrings() const {
  std::vector<std::string> cells;
  cells.reserve(size());
  for (std::size_t i = 0; i < size(); ++i) cells.emplace_back((*this)[i]);
  return cells;
}

void PackedCells::Set(std::size_t i, std::string_view text) {
  const std::string kept(text);  // `text` may be one of this row's cells
  std::vector<std::string_view> views = Views();
  if (views.size() <= i) views.resize(i + 1);
  views[i] = kept;
  Pack(views);
}

void PackedCells::Resize(std::size_t count) {
  if (count == size()) return;
  std::vector<std::string_view> views = Views();
  views.resize(count);
  Pack(views);
}

bool PackedCells::operator==(const PackedCells& other) const {
  if (size() != other.size()) return false;
  for (std::size_t i = 0; i < size(); ++i) {
    if ((*this)[i] != other[i]) return false;
  }
  return true;
}

}  // namespace kelmory::table
