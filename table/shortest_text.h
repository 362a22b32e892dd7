#pragma once
// The shortest text that reads back as the same double, laid out as
// std::to_chars lays it out (fixed or scientific, whichever is shorter, fixed
// on a tie), from Dragonbox's digits: the same bytes, at a fraction of the
// cost, for the numbers kelmory-batch writes by the million.

namespace kelmory::batch {

// Room for the longest text: "-1.2345678901234567e-308".
inline constexpr int kShortestTextRoom = 32;

// Writes a finite `value` at `out` and returns the end.
char* WriteShortest(char* out, double value);

}  // namespace kelmory::batch
