#include "review/xlsx_export.h"

#include <locale.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <map>

#include <cerrno>
#include <cstring>

#include "review/review_model.h"
#include "rows/cell_number.h"
#include "table/output_file.h"
#include "table/shortest_text.h"
#include "table/table_cells.h"

namespace kelmory::review {
namespace {

constexpr std::uint32_t kWarningShade = 0xFFE79C;
constexpr std::uint32_t kRefusalShade = 0xF7C4C4;

// The exact shortest text of each number cell of a sheet, by its place: the
// library prints 16 significant digits, which do not always read back as
// the same double, so its digits are replaced once the workbook is written.
using ExactNumbers = std::map<std::pair<lxw_row_t, lxw_col_t>, std::string>;

std::string Shortest(double value) {
  char text[batch::kShortestTextRoom];
  return {text, batch::WriteShortest(text, value)};
}

// A level such as "95.00%" becomes 0.95 shown as 95.00%: a format per count
// of decimals.
class PercentFormats {
 public:
  explicit PercentFormats(lxw_workbook* book) : book_(book) {}
  lxw_format* For(int decimals) {
    lxw_format*& format = formats_[decimals];
    if (!format) {
      format = workbook_add_format(book_);
      const std::string pattern =
          decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') + "%" : "0%";
      format_set_num_format(format, pattern.c_str());
    }
    return format;
  }

 private:
  lxw_workbook* book_;
  std::map<int, lxw_format*> formats_;
};

void WriteCell(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const std::string& text,
               char decimal, bool percent, lxw_format* format, ExactNumbers& exact,
               PercentFormats& percents) {
  if (text.empty()) {
    if (format) worksheet_write_blank(sheet, row, column, format);
    return;
  }
  const batch::CellNumber number = batch::ParseCellNumber(text, decimal, percent);
  const std::size_t sign = text.find('%');
  if (number.kind == batch::CellNumber::Kind::Number && sign == std::string::npos) {
    worksheet_write_number(sheet, row, column, number.value, format);
    exact[{row, column}] = Shortest(number.value);
    return;
  }
  if (number.kind == batch::CellNumber::Kind::Number) {
    // The fraction read from the digits themselves, so that 99.99% is the
    // double nearest 0.9999.
    const std::string digits = text.substr(0, sign);
    const batch::CellNumber fraction = batch::ParseCellNumber(digits + "e-2", decimal);
    const std::size_t point = digits.find(decimal);
    const std::size_t last = digits.find_last_of("0123456789");
    const int decimals =
        point == std::string::npos || last < point ? 0 : static_cast<int>(last - point);
    if (fraction.kind == batch::CellNumber::Kind::Number) {
      worksheet_write_number(sheet, row, column, fraction.value, percents.For(decimals));
      exact[{row, column}] = Shortest(fraction.value);
      return;
    }
  }
  worksheet_write_string(sheet, row, column, text.c_str(), format);
}

// "AB12" -> row 11, column 27.
std::optional<std::pair<lxw_row_t, lxw_col_t>> CellPlace(std::string_view ref) {
  lxw_col_t column = 0;
  std::size_t i = 0;
  for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z'; ++i)
    column = column * 26 + static_cast<lxw_col_t>(ref[i] - 'A' + 1);
  lxw_row_t row = 0;
  if (i == 0 || i == ref.size()) return std::nullopt;
  for (; i < ref.size(); ++i) {
    if (ref[i] < '0' || ref[i] > '9') return std::nullopt;
    row = row * 10 + static_cast<lxw_row_t>(ref[i] - '0');
  }
  return std::pair{row - 1, column - 1};
}

// The sheet's XML with each number cell's value as its exact text.
std::string WithExactNumbers(const std::string& xml, const ExactNumbers& exact) {
  std::string out;
  out.reserve(xml.size() + xml.size() / 16);
  std::size_t at = 0;
  for (;;) {
    const std::size_t cell = xml.find("<c r=\"", at);
    if (cell == std::string::npos) break;
    const std::size_t ref_end = xml.find('"', cell + 6);
    const std::size_t open_end = xml.find('>', cell);
    if (ref_end == std::string::npos || open_end == std::string::npos) break;
    const std::string_view opening(xml.data() + cell, open_end - cell);
    const auto place = CellPlace(std::string_view(xml).substr(cell + 6, ref_end - cell - 6));
    const auto found = place ? exact.find(*place) : exact.end();
    const bool number = opening.find(" t=\"") == std::string_view::npos;
    if (!number || found == exact.end() || xml.compare(open_end + 1, 3, "<v>") != 0) {
      out.append(xml, at, open_end + 1 - at);
      at = open_end + 1;
      continue;
    }
    const std::size_t value_end = xml.find("</v>", open_end);
    if (value_end == std::string::npos) break;
    out.append(xml, at, open_end + 4 - at).append(found->second);
    at = value_end;
  }
  out.append(xml, at, std::string::npos);
  return out;
}

std::optional<std::string> FixNumbers(const std::string& path, const ExactNumbers& exact) {
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), 0, &error);
  if (!zip) return std::string("cannot reopen the workbook to write its numbers");
  const auto fail = [zip](const char* what) {
    const std::string text = std::string(what) + ": " + zip_strerror(zip);
    zip_discard(zip);
    return std::optional<std::string>(text);
  };
  const zip_int64_t index = zip_name_locate(zip, "xl/worksheets/sheet1.xml", 0);
  zip_stat_t info;
  if (index < 0 || zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &info) != 0)
    return fail("the workbook has no table");
  zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0);
  if (!file) return fail("cannot read the table");
  std::string xml(info.size, '\0');
  const zip_int64_t got = zip_fread(file, xml.data(), info.size);
  zip_fclose(file);
  if (got != static_cast<zip_int64_t>(info.size)) return fail("cannot read the table");
  // The zip reads the buffer when it closes: it lives until then.
  const std::string fixed = WithExactNumbers(xml, exact);
  zip_source_t* source = zip_source_buffer(zip, fixed.data(), fixed.size(), 0);
  if (!source) return fail("cannot write the table");
  if (zip_file_replace(zip, static_cast<zip_uint64_t>(index), source, ZIP_FL_ENC_UTF_8) != 0) {
    zip_source_free(source);
    return fail("cannot write the table");
  }
  if (zip_close(zip) != 0) return fail("cannot write the workbook");
  return std::nullopt;
}

// Widths in characters: names and notes, numbers at their longest, messages.
double ColumnWidth(std::string_view name, bool result, CellKind kind) {
  if (name == "warning" || name == "refusal") return 60;
  if (name == "method") return 14;
  if (result) return 20;
  return kind == kText ? 24 : 12;
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

  ExactNumbers exact;
  PercentFormats percents(book);
  const Record& header = model.header();
  const auto& added = model.added();
  const lxw_col_t inputs = static_cast<lxw_col_t>(header.size());
  for (lxw_col_t c = 0; c < inputs; ++c)
    worksheet_write_string(table, 0, c, header[c].c_str(), bold);
  for (std::size_t a = 0; a < added.size(); ++a)
    worksheet_write_string(table, 0, static_cast<lxw_col_t>(inputs + a),
                           model.addedHeadings()[a].c_str(), bold);
  worksheet_write_string(working, 0, 0, "row", bold);
  worksheet_write_string(working, 0, 1, header.empty() ? "" : header[0].c_str(), bold);
  worksheet_write_string(working, 0, 2, "working", bold);
  worksheet_set_column(working, 0, 0, 6, nullptr);
  worksheet_set_column(working, 1, 1, 24, nullptr);
  worksheet_set_column(working, 2, 2, 90, wrap);
  for (lxw_col_t c = 0; c < inputs; ++c)
    worksheet_set_column(table, c, c, ColumnWidth({}, false, model.KindOf(static_cast<int>(c))),
                         nullptr);
  for (std::size_t a = 0; a < added.size(); ++a) {
    const auto c = static_cast<lxw_col_t>(inputs + a);
    worksheet_set_column(table, c, c, ColumnWidth(added[a], true, kText), nullptr);
  }

  const char decimal = model.dialect().decimal;
  const auto& rows = model.rows();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto row = static_cast<lxw_row_t>(r + 1);
    const ReviewRow& study = rows[r];
    const ComputedRow& computed = model.ResultOf(static_cast<int>(r));
    for (lxw_col_t c = 0; c < inputs && c < study.cells.size(); ++c) {
      const CellKind kind = model.KindOf(static_cast<int>(c));
      if (kind == kText) {
        if (!study.cells[c].empty())
          worksheet_write_string(table, row, c, std::string(study.cells[c]).c_str(), nullptr);
      } else {
        WriteCell(table, row, c, model.SavedCell(static_cast<int>(r), static_cast<int>(c)), decimal,
                  kind == kPercent, nullptr, exact, percents);
      }
    }
    for (std::size_t a = 0; a < added.size(); ++a) {
      lxw_format* shade = nullptr;
      const batch::RowResult& result = model.ResultFor(computed, a);
      if (added[a] == "warning" && !result.warning.empty()) shade = warned;
      if (added[a] == "refusal" && !result.refusal.empty()) shade = refused;
      WriteCell(table, row, static_cast<lxw_col_t>(inputs + a),
                batch::ResultCell(result, added[a], '.'), '.', false, shade, exact, percents);
    }
    worksheet_write_number(working, row, 0, static_cast<double>(r + 1), nullptr);
    if (!study.cells.empty() && !study.cells[0].empty())
      worksheet_write_string(working, row, 1, std::string(study.cells[0]).c_str(), nullptr);
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
  if (auto fixed = FixNumbers(file.written_path(), exact)) return fixed;
  return file.Commit();
}

}  // namespace kelmory::review
