#include "review/table_accessible.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

namespace kelmory {
namespace {

// A cell, or with row -1 a column title, with column -1 a row number.
class CellAccessible final : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  CellAccessible(QTableView* view, int row, int column)
      : view_(view),
        index_(row >= 0 && column >= 0 ? view->model()->index(row, column) : QModelIndex()),
        row_(row),
        column_(column) {}

  bool isValid() const override {
    return view_ && view_->model() && (!IsCell() || index_.isValid());
  }
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(view_);
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QString text(QAccessible::Text kind) const override {
    if (!isValid()) return {};
    const QAbstractItemModel* model = view_->model();
    if (IsCell()) {
      if (kind == QAccessible::Name) {
        const QVariant text = index_.data(Qt::AccessibleTextRole);
        return text.isValid() ? text.toString() : index_.data(Qt::DisplayRole).toString();
      }
      return kind == QAccessible::Description
                 ? index_.data(Qt::AccessibleDescriptionRole).toString()
                 : QString();
    }
    const Qt::Orientation way = row_ < 0 ? Qt::Horizontal : Qt::Vertical;
    const int section = row_ < 0 ? column_ : row_;
    if (section < 0) return {};
    if (kind == QAccessible::Name) return model->headerData(section, way).toString();
    if (kind == QAccessible::Description) {
      const QVariant told = model->headerData(section, way, Qt::AccessibleDescriptionRole);
      return told.isValid() ? told.toString()
                            : model->headerData(section, way, Qt::ToolTipRole).toString();
    }
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    if (!isValid()) return {};
    if (IsCell()) {
      const QRect cell = view_->visualRect(index_);
      return QRect(view_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }
    const QHeaderView* header = row_ < 0 ? view_->horizontalHeader() : view_->verticalHeader();
    const int section = row_ < 0 ? column_ : row_;
    if (section < 0) return {};
    const int at = header->sectionViewportPosition(section);
    const QRect place = row_ < 0 ? QRect(at, 0, header->sectionSize(section), header->height())
                                 : QRect(0, at, header->width(), header->sectionSize(section));
    return QRect(header->viewport()->mapToGlobal(place.topLeft()), place.size());
  }

  QAccessible::Role role() const override {
    if (IsCell()) return QAccessible::Cell;
    return row_ < 0 ? QAccessible::ColumnHeader : QAccessible::RowHeader;
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid() || !IsCell()) return state;
    const Qt::ItemFlags flags = index_.flags();
    state.selectable = flags.testFlag(Qt::ItemIsSelectable);
    state.focusable = state.selectable;
    state.extSelectable = view_->selectionMode() == QAbstractItemView::ExtendedSelection;
    state.selected = view_->selectionModel()->isSelected(index_);
    state.focused = view_->currentIndex() == index_;
    state.editable = flags.testFlag(Qt::ItemIsEditable);
    state.readOnly = !state.editable;
    state.invisible = !view_->viewport()->rect().intersects(view_->visualRect(index_));
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface
               ? static_cast<QAccessibleTableCellInterface*>(this)
               : nullptr;
  }

  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QList<QAccessibleInterface*> columnHeaderCells() const override;
  QList<QAccessibleInterface*> rowHeaderCells() const override;
  int columnIndex() const override { return column_; }
  int rowIndex() const override { return row_; }
  bool isSelected() const override { return state().selected; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  bool IsCell() const { return row_ >= 0 && column_ >= 0; }

  QPointer<QTableView> view_;
  QPersistentModelIndex index_;
  int row_, column_;
};

class TableAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit TableAccessible(QTableView* view) : QAccessibleWidget(view, QAccessible::Table) {}
  ~TableAccessible() override { Forget(); }

  QTableView* View() const { return static_cast<QTableView*>(widget()); }
  int Columns() const { return View()->model() ? View()->model()->columnCount() : 0; }
  int Rows() const { return View()->model() ? View()->model()->rowCount() : 0; }

  // Children as Qt numbers them: the corner, the column titles, then each
  // row's number and cells.
  int childCount() const override { return (Rows() + 1) * (Columns() + 1); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    if (const auto found = cells_.constFind(index); found != cells_.constEnd())
      return QAccessible::accessibleInterface(*found);
    const int width = Columns() + 1;
    auto* cell = new CellAccessible(View(), index / width - 1, index % width - 1);
    cells_.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* cell = dynamic_cast<const CellAccessible*>(child);
    if (!cell) return -1;
    return (cell->rowIndex() + 1) * (Columns() + 1) + cell->columnIndex() + 1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint at = View()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = View()->indexAt(at);
    return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || column < 0 || row >= Rows() || column >= Columns()) return nullptr;
    return child((row + 1) * (Columns() + 1) + column + 1);
  }
  int columnCount() const override { return Columns(); }
  int rowCount() const override { return Rows(); }
  int selectedCellCount() const override {
    return static_cast<int>(View()->selectionModel()->selectedIndexes().size());
  }
  int selectedColumnCount() const override {
    return static_cast<int>(View()->selectionModel()->selectedColumns().size());
  }
  int selectedRowCount() const override {
    return static_cast<int>(View()->selectionModel()->selectedRows().size());
  }
  QString columnDescription(int column) const override {
    return View()->model()->headerData(column, Qt::Horizontal).toString();
  }
  QString rowDescription(int row) const override {
    return View()->model()->headerData(row, Qt::Vertical).toString();
  }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    for (const QModelIndex& index : View()->selectionModel()->selectedIndexes())
      cells << cellAt(index.row(), index.column());
    return cells;
  }
  QList<int> selectedColumns() const override {
    QList<int> columns;
    for (const QModelIndex& index : View()->selectionModel()->selectedColumns())
      columns << index.column();
    return columns;
  }
  QList<int> selectedRows() const override {
    QList<int> rows;
    for (const QModelIndex& index : View()->selectionModel()->selectedRows()) rows << index.row();
    return rows;
  }
  bool isColumnSelected(int column) const override {
    return View()->selectionModel()->isColumnSelected(column, {});
  }
  bool isRowSelected(int row) const override {
    return View()->selectionModel()->isRowSelected(row, {});
  }
  bool selectRow(int row) override {
    View()->selectRow(row);
    return true;
  }
  bool selectColumn(int column) override {
    View()->selectColumn(column);
    return true;
  }
  bool unselectRow(int row) override {
    View()->selectionModel()->select(View()->model()->index(row, 0),
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
  }
  bool unselectColumn(int column) override {
    View()->selectionModel()->select(View()->model()->index(0, column),
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Columns);
    return true;
  }
  // Rows and columns come and go: the cells are made again when asked.
  void modelChange(QAccessibleTableModelChangeEvent*) override { Forget(); }

 private:
  void Forget() const {
    for (const QAccessible::Id id : std::as_const(cells_))
      QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
  }

  mutable QHash<int, QAccessible::Id> cells_;
};

QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const {
  QAccessibleInterface* table = parent();
  QAccessibleInterface* title = table ? table->child(column_ + 1) : nullptr;
  return title ? QList<QAccessibleInterface*>{title} : QList<QAccessibleInterface*>{};
}

QList<QAccessibleInterface*> CellAccessible::rowHeaderCells() const {
  auto* table = dynamic_cast<TableAccessible*>(parent());
  QAccessibleInterface* number =
      table ? table->child((row_ + 1) * (table->Columns() + 1)) : nullptr;
  return number ? QList<QAccessibleInterface*>{number} : QList<QAccessibleInterface*>{};
}

}  // namespace

QAccessibleInterface* TableAccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("kelmory::ReviewTable") && object && object->isWidgetType())
    return new TableAccessible(static_cast<QTableView*>(object));
  return nullptr;
}

}  // namespace kelmory
