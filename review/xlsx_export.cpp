#include "review/xlsx_export.h"

#include <locale.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>

#include "batch/cell_number.h"
#include "batch/output_file.h"
#include "batch/table_cells.h"
#include "review/review_model.h"

namespace kelmory::review {
namespace {

constexpr std::uint32_t kWarningShade = 0xFFE79C;
constexpr std::uint32_t kRefusalShade = 0xF7C4C4;

void WriteCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const std::string& text,
               char decimal, bool percent, lxw_format* format) {
  if (text.empty()) {
    if (format) worksheet_write_blank(sheet, row, column, format);
    return;
  }
  const batch::CellNumber number = batch::ParseCellNumber(text, decimal, percent);
  if (number.kind == batch::CellNumber::Kind::Number && text.find('%') == std::string::npos) {
    worksheet_write_number(sheet, row, column, number.value, format);
  } else {
    worksheet_write_string(sheet, row, column, text.c_str(), format);
  }
}

// The library prints numbers with printf, which writes the user's decimal
// comma into the XML; a spreadsheet then reads 3,92 as no number at all.
class CNumbers {
 public:
  CNumbers() : c_(newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr))) {
    if (c_) previous_ = uselocale(c_);
  }
  ~CNumbers() {
    if (!c_) return;
    uselocale(previous_);
    freelocale(c_);
  }
  CNumbers(const CNumbers&) = delete;
  CNumbers& operator=(const CNumbers&) = delete;

 private:
  locale_t c_;
  locale_t previous_ = LC_GLOBAL_LOCALE;
};

}  // namespace

std::optional<std::string> ExportXlsx(const ReviewModel& model, const std::string& path) {
  const CNumbers c_numbers;
  // Written under a temporary name and renamed over the target only once
  // complete and synced: a failed export leaves the earlier one whole.
  batch::OutputFile file(path);
  if (auto error = file.Open()) return error;
  lxw_workbook* book = workbook_new(file.written_path().c_str());
  if (!book) return std::string("cannot create the workbook");
  lxw_worksheet* table = workbook_add_worksheet(book, "Studies");
  lxw_worksheet* working = workbook_add_worksheet(book, "Working");
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* warned = workbook_add_format(book);
  format_set_bg_color(warned, kWarningShade);
  lxw_format* refused = workbook_add_format(book);
  format_set_bg_color(refused, kRefusalShade);
  lxw_format* wrap = workbook_add_format(book);
  format_set_text_wrap(wrap);
  format_set_align(wrap, LXW_ALIGN_VERTICAL_TOP);

  const Record& header = model.header();
  const auto& added = model.added();
  const lxw_col_t inputs = static_cast<lxw_col_t>(header.size());
  for (lxw_col_t c = 0; c < inputs; ++c)
    worksheet_write_string(table, 0, c, header[c].c_str(), bold);
  for (std::size_t a = 0; a < added.size(); ++a)
    worksheet_write_string(table, 0, static_cast<lxw_col_t>(inputs + a),
                           std::string(added[a]).c_str(), bold);
  worksheet_write_string(working, 0, 0, "row", bold);
  worksheet_write_string(working, 0, 1, header.empty() ? "" : header[0].c_str(), bold);
  worksheet_write_string(working, 0, 2, "working", bold);
  worksheet_set_column(working, 2, 2, 90, nullptr);

  const char decimal = model.dialect().decimal;
  const auto& rows = model.rows();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto row = static_cast<lxw_row_t>(r + 1);
    const ReviewRow& study = rows[r];
    for (lxw_col_t c = 0; c < inputs && c < study.cells.size(); ++c) {
      const CellKind kind = model.KindOf(static_cast<int>(c));
      if (kind == kText) {
        if (!study.cells[c].empty())
          worksheet_write_string(table, row, c, study.cells[c].c_str(), nullptr);
      } else {
        WriteCell(table, row, c, study.cells[c], decimal, kind == kPercent, nullptr);
      }
    }
    for (std::size_t a = 0; a < added.size(); ++a) {
      lxw_format* shade = nullptr;
      if (added[a] == "warning" && !study.result.warning.empty()) shade = warned;
      if (added[a] == "refusal" && !study.result.refusal.empty()) shade = refused;
      WriteCell(table, row, static_cast<lxw_col_t>(inputs + a),
                batch::ResultCell(study.result, added[a], '.'), '.', false, shade);
    }
    worksheet_write_number(working, row, 0, static_cast<double>(r + 1), nullptr);
    if (!study.cells.empty() && !study.cells[0].empty())
      worksheet_write_string(working, row, 1, study.cells[0].c_str(), nullptr);
    std::string text = model.workingText(static_cast<int>(r)).toStdString();
    if (!text.empty()) worksheet_write_string(working, row, 2, text.c_str(), wrap);
  }
  errno = 0;
  const lxw_error error = workbook_close(book);
  if (error != LXW_NO_ERROR) {
    // The library's text names no cause: a full disk says so itself.
    std::string text = lxw_strerror(error);
    if (errno != 0) text += std::string(" (") + std::strerror(errno) + ")";
    return text;
  }
  return file.Commit();
}

}  // namespace kelmory::review
