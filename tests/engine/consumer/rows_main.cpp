// Uses the row rules through kelmory::rows as an outside program would;
// exits non-zero on any mismatch.
#include "rows/row_rules.h"

int main() {
  using namespace kelmory::batch;
  kelmory::CriticalValueCache cache;
  RowCells cells;
  cells.text[kN] = "25";
  cells.text[kSe] = "2";
  const RowResult se = ConvertRow(cells, RowSettings{}, cache);
  cells.text[kN] = "1";
  const RowResult one = ConvertRow(cells, RowSettings{}, cache);
  return se.sd != 10.0 || se.method != "se" ||
         one.refusal != "n is 1: a single observation has no standard deviation";
}
