#pragma once
// The t-table window: a read-only report list of the t critical values that
// TTableSource reads from the data file at every opening. The main window
// opens it modally through CITableWindow().

#include <QString>
#include <QWidget>
#include <memory>

#include "toolkit/toolkit.h"
#include "ttable/ttable_source.h"

namespace Ui {
class frmCITable;
}

namespace kelmory {

class frmCITable final : public QWidget {
  Q_OBJECT

 public:
  explicit frmCITable(QWidget* owner = nullptr);
  ~frmCITable() override;

  // Column widths in twips for a list `list_width_twips` wide, computed as
  // the original did: single-precision width times a double factor, rounded
  // back to single precision.
  static float ColumnWidthTwips(float list_width_twips, int column);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();
  // Appends the row as one whole line, its values with `decimal_point`.
  void AddRow(const TTableRow& row, const QString& decimal_point);

  std::unique_ptr<Ui::frmCITable> ui_;
};

// The one t-table window object, created on first use.
toolkit::FormHolder& CITableWindow();

}  // namespace kelmory
