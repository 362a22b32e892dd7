#pragma once
// A row's cells written as "n=10|ci=3.92|n_2=15": the batch tests' rows.

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rows/row_rules.h"

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

}  // namespace kelmory::batch
