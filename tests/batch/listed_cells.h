#pragma once
// The batch tests' rows, their cells written as "n=10|ci=3.92|n_2=15", and
// their runs over a text or a golden file.

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rows/row_rules.h"
#include "table/batch_run.h"

namespace kelmory::batch {

// The cells of the recognised columns, subgroups by k.
struct Cells {
  std::vector<std::string> texts;
  std::vector<std::array<std::string, kSubgroupColumnCount>> subgroup_texts;
  RowCells cells;
  explicit Cells(const std::string& listed) : texts(kColumnCount) {
    std::vector<int> ks;
    std::size_t start = 0;
    while (start < listed.size()) {
      const std::size_t end = std::min(listed.find('|', start), listed.size());
      const std::string item = listed.substr(start, end - start);
      const std::string name = item.substr(0, item.find('='));
      const std::string cell = item.substr(item.find('=') + 1);
      start = end + 1;
      bool found = false;
      for (int c = 0; c < kColumnCount; ++c) {
        if (name == kColumnNames[c]) texts[c] = cell, found = true;
      }
      for (int c = 0; c < kSubgroupColumnCount && !found; ++c) {
        const std::string prefix(kSubgroupPrefixes[c]);
        if (name.rfind(prefix, 0) != 0) continue;
        const int k = std::stoi(name.substr(prefix.size()));
        std::size_t s = 0;
        while (s < ks.size() && ks[s] != k) ++s;
        if (s == ks.size()) ks.push_back(k), subgroup_texts.emplace_back();
        subgroup_texts[s][c] = cell;
        found = true;
      }
      if (!found) ADD_FAILURE() << "no column " << name;
    }
    for (int c = 0; c < kColumnCount; ++c) cells.text[c] = texts[c];
    for (std::size_t s = 0; s < ks.size(); ++s) {
      SubgroupCells sub;
      sub.k = ks[s];
      for (int c = 0; c < kSubgroupColumnCount; ++c) sub.text[c] = subgroup_texts[s][c];
      cells.subgroups.push_back(sub);
    }
  }
};

inline std::string GoldenFile(const std::string& name) {
  std::ifstream in(std::string(KELMORY_GOLDEN_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs over `input` handed out `step` bytes at a time.
inline BatchSummary RunOver(const std::string& input, const BatchOptions& options,
                            std::string& output, std::size_t step = 1 << 16) {
  std::size_t at = 0;
  return RunBatch(
      [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min({size, step, input.size() - at});
        std::copy_n(input.data() + at, n, buffer);
        at += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      [&](std::string_view bytes) {
        output.append(bytes);
        return true;
      },
      options);
}

}  // namespace kelmory::batch
