#pragma once
// rows/: the row rules, shared by kelmory-batch, kelmory-review and the
// tests. ConvertRow turns one study row's cells into its SD (under z and
// under t, side by side), method, warnings, refusal and working text; one
// file per kind of row behind it (row_kinds.h), the reading of cell numbers
// in cell_number.h. Only the standard library, Boost.Math and the engine:
// the CSV and the windows are table/'s and review/'s. The namespace stays
// kelmory::batch, the rules' first home.

#include "engine/critical_values.h"
#include "engine/number_text.h"
#include "rows/row_types.h"

namespace kelmory::batch {

// A refusal when `text` is empty; the caller keeps the cache across rows.
RowResult ConvertRow(const RowCells& cells, const RowSettings& settings, CriticalValueCache& cache);

}  // namespace kelmory::batch
