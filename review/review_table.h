#pragma once
// The study table as a spreadsheet keeps it: Enter moves down, after an edit
// too, and text dropped on it is pasted where it lands.

#include <QTableView>

namespace kelmory {

class ReviewTable final : public QTableView {
  Q_OBJECT

 public:
  explicit ReviewTable(QWidget* parent = nullptr);

 signals:
  // Tab-separated text dropped on the cell that is now current.
  void textDropped(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void moveDown();
};

}  // namespace kelmory
