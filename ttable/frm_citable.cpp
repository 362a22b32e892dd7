#include "ttable/frm_citable.h"

#include <QFile>
#include <QResizeEvent>
#include <array>

#include "ui_frmCITable.h"

namespace kelmory {

namespace tk = toolkit;

namespace {

constexpr std::array<const char*, 13> kHeaders = {
    "DF", "50%", "60%", "70%", "80%", "90%", "95%", "96%", "98%", "99%", "99.5%", "99.8%", "99.9%"};
constexpr std::array<double, 13> kWidthFactors = {0.05, 0.07, 0.07, 0.08, 0.08, 0.08, 0.08,
                                                  0.08, 0.08, 0.08, 0.08, 0.08, 0.08};

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
  for (int column = 0; column < list->columnCount(); ++column) {
    const float width_twips =
        ColumnWidthTwips(static_cast<float>(list->width() * tk::kTwipsPerPixel), column);
    list->setColumnWidth(column, qRound(width_twips / tk::kTwipsPerPixel));
  }

  const TTableReadOutcome outcome =
      TTableSource::ReadRows(QFile::encodeName(tk::ProgramDirectory()).toStdString(),
                             [this](const TTableRow& row) { AddRow(row); });
  if (!outcome.completed) tk::ShowMessage(QString::fromStdString(outcome.failure_text));
}

void frmCITable::AddRow(const TTableRow& row) {
  QTreeWidget* list = ui_->ListView1;
  list->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(row.DfText)}));
  QTreeWidgetItem* line = list->topLevelItem(row.RowNumber - 1);
  for (int k = 0; k < static_cast<int>(row.ValueTexts.size()); ++k) {
    line->setText(k + 1, QString::fromStdString(row.ValueTexts[k]));
  }
}

void frmCITable::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void frmCITable::Form_Resize() { ui_->ListView1->resize(ui_->ListView1->width(), height()); }

tk::FormHolder& CITableWindow() {
  static tk::FormHolder holder([](QWidget* owner) { return new frmCITable(owner); });
  return holder;
}

}  // namespace kelmory
