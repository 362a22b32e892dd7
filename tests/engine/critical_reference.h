#pragma once
// The reference critical values of scripts/critical_reference.py, 50 digits
// from mpmath with each level or p taken exactly as written. A value is
// correctly rounded when it equals strtod of the reference text.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelmory::testing {

struct CriticalReference {
  std::string line;
  std::string kind;  // "level" or "p"
  std::string text;  // the level or p as written
  double df = 0;     // 0: the normal quantile
  double value = 0;
};

// Both files: critical_reference.csv (level,df,value) and
// critical_reference_more.csv (kind,text,df,value), from `folder`.
inline std::vector<CriticalReference> ReadCriticalReferences(const std::string& folder) {
  std::vector<CriticalReference> references;
  for (const std::string file : {"critical_reference.csv", "critical_reference_more.csv"}) {
    std::ifstream in(folder + "/" + file);
    std::string line;
    std::getline(in, line);
    const bool more = file != "critical_reference.csv";
    while (std::getline(in, line)) {
      std::vector<std::string> cells;
      std::istringstream row(line);
      for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
      if (cells.size() != (more ? 4u : 3u)) return {};
      const std::size_t at = more ? 1 : 0;
      references.push_back({line, more ? cells[0] : "level", cells[at],
                            std::strtod(cells[at + 1].c_str(), nullptr),
                            std::strtod(cells[at + 2].c_str(), nullptr)});
    }
  }
  return references;
}

}  // namespace kelmory::testing
