#include "ttable/frm_citable.h"

#include <QLocale>
#include <QResizeEvent>
#include <QStyle>
#include <array>
#include <string_view>

#include "ui_frmCITable.h"

namespace kelmory {

namespace tk = toolkit;

namespace {

constexpr std::array<const char*, 13> kHeaders = {
    "DF", "50%", "60%", "70%", "80%", "90%", "95%", "96%", "98%", "99%", "99.5%", "99.8%", "99.9%"};
constexpr std::array<double, 13> kWidthFactors = {0.05, 0.07, 0.07, 0.08, 0.08, 0.08, 0.08,
                                                  0.08, 0.08, 0.08, 0.08, 0.08, 0.08};

// The data file holds its values as point-decimal texts ("12.706"); a
// value is shown with the user's decimal separator, as the program's results
// are. Anything that is not a plain decimal number is shown as stored.
QString LocaleValueText(const std::string& stored, const QString& decimal_point) {
  const std::string_view text(stored);
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos || (decimal_point.size() == 1 && decimal_point[0] == u'.')) {
    return QString::fromStdString(stored);
  }
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const std::size_t first = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  bool plain = point > first || point + 1 < text.size();
  for (std::size_t i = first; plain && i < text.size(); ++i)
    plain = i == point || is_digit(text[i]);
  if (!plain) return QString::fromStdString(stored);
  return QString::fromLatin1(text.substr(0, point)) + decimal_point +
         QString::fromLatin1(text.substr(point + 1));
}

}  // namespace

float frmCITable::ColumnWidthTwips(float list_width_twips, int column) {
  return static_cast<float>(static_cast<double>(list_width_twips) * kWidthFactors.at(column));
}

frmCITable::frmCITable(QWidget* owner) : QWidget(owner), ui_(std::make_unique<Ui::frmCITable>()) {
  tk::BeginDesign(this);
  ui_->setupUi(this);
  setWindowIcon(tk::ProgramIcon());
  tk::ApplyDesign(this, tk::Border::FixedDialog, tk::StartPosition::CentreScreen);
  Form_Load();
}

frmCITable::~frmCITable() = default;

void frmCITable::Form_Load() {
  QTreeWidget* list = ui_->ListView1;
  list->clear();
  // Report view with full-row focus: a table to read, not to edit.
  list->setAllColumnsShowFocus(true);
  QStringList headers;
  for (const char* header : kHeaders) headers << QString::fromLatin1(header);
  list->setHeaderLabels(headers);
  // The columns share the list's inside, within its frame and beside the
  // vertical scroll bar that a long table shows: measured on the whole list
  // they overflow it by about one per cent, for a needless horizontal bar.
  const int column_space = list->width() - 2 * list->frameWidth() -
                           list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
  for (int column = 0; column < list->columnCount(); ++column) {
    const float width_twips =
        ColumnWidthTwips(static_cast<float>(column_space * tk::kTwipsPerPixel), column);
    list->setColumnWidth(column, qRound(width_twips / tk::kTwipsPerPixel));
  }

  // The user's separator: the default locale is the system's unless the
  // program sets another.
  const QString decimal_point = QLocale().decimalPoint();
  const TTableReadOutcome outcome = TTableSource::ReadRows(
      tk::ProgramDirectory().toStdString(),
      [this, &decimal_point](const TTableRow& row) { AddRow(row, decimal_point); });
  if (!outcome.completed) tk::ShowMessage(QString::fromStdString(outcome.failure_text));
}

void frmCITable::AddRow(const TTableRow& row, const QString& decimal_point) {
  // The line is built whole before it joins the list: setting cells of a
  // listed line signals a change for each one.
  QStringList cells;
  cells.reserve(1 + static_cast<qsizetype>(row.ValueTexts.size()));
  cells << QString::fromStdString(row.DfText);
  for (const std::string& value : row.ValueTexts) cells << LocaleValueText(value, decimal_point);
  ui_->ListView1->addTopLevelItem(new QTreeWidgetItem(cells));
}

void frmCITable::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

// The list ends at the window's lower edge, so its horizontal scroll bar,
// when there is one, shows whole.
void frmCITable::Form_Resize() {
  ui_->ListView1->resize(ui_->ListView1->width(), height() - ui_->ListView1->y());
}

tk::FormHolder& CITableWindow() {
  static tk::FormHolder holder([](QWidget* owner) { return new frmCITable(owner); });
  return holder;
}

}  // namespace kelmory
