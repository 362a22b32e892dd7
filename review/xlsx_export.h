#pragma once
// The review as an Excel workbook: the table on one sheet (numbers as
// numbers, warnings and refusals shaded), each row's working on a second.

#include <optional>
#include <string>

namespace kelmory::review {

class ReviewModel;

// nullopt once written, else what went wrong.
std::optional<std::string> ExportXlsx(const ReviewModel& model, const std::string& path);

}  // namespace kelmory::review
