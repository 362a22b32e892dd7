#include "review/table_text.h"

#include <csv.h>

#include <algorithm>

#include "batch/cell_number.h"

namespace kelmory::review {
namespace {

struct BlockReader {
  std::vector<Record> records;
  Record current;
};

int NoSpace(unsigned char) { return 0; }

}  // namespace

std::vector<Record> ParseTabBlock(std::string_view text) {
  BlockReader reader;
  csv_parser parser{};
  // Not strict: a spreadsheet writes a lone quote inside a cell as it is.
  csv_init(&parser, 0);
  csv_set_delim(&parser, '\t');
  csv_set_space_func(&parser, NoSpace);
  const auto on_field = [](void* data, std::size_t size, void* self) {
    static_cast<BlockReader*>(self)->current.emplace_back(static_cast<const char*>(data), size);
  };
  const auto on_record = [](int, void* self) {
    auto* r = static_cast<BlockReader*>(self);
    r->records.push_back(std::move(r->current));
    r->current.clear();
  };
  csv_parse(&parser, text.data(), text.size(), on_field, on_record, &reader);
  csv_fini(&parser, on_field, on_record, &reader);
  csv_free(&parser);
  return std::move(reader.records);
}

void AppendTabLine(std::string& block, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) block.push_back('\t');
    const std::string& cell = cells[i];
    if (cell.find_first_of("\t\r\n\"") == std::string::npos) {
      block.append(cell);
      continue;
    }
    block.push_back('"');
    for (const char c : cell) {
      if (c == '"') block.push_back('"');
      block.push_back(c);
    }
    block.push_back('"');
  }
  block.push_back('\n');
}

std::string MoveDecimal(std::string_view cell, char from, char to, bool percent) {
  std::string text(cell);
  if (from != to &&
      batch::ParseCellNumber(cell, from, percent).kind != batch::CellNumber::Kind::NotANumber)
    std::replace(text.begin(), text.end(), from, to);
  return text;
}

std::string FromUser(std::string_view cell, char user, char stored, bool percent) {
  using Kind = batch::CellNumber::Kind;
  if (batch::ParseCellNumber(cell, user, percent).kind != Kind::NotANumber)
    return MoveDecimal(cell, user, stored, percent);
  if (user == ',' && batch::ParseCellNumber(cell, '.', percent).kind != Kind::NotANumber)
    return MoveDecimal(cell, '.', stored, percent);
  return std::string(cell);
}

}  // namespace kelmory::review
