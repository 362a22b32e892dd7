#include "review/review_table.h"

#include <QAccessible>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

#include "review/table_accessible.h"

namespace kelmory {
namespace {

// Text, not files: a dropped file is the window's to open.
bool IsText(const QMimeData* data) { return data->hasText() && !data->hasUrls(); }

}  // namespace

ReviewTable::ReviewTable(QWidget* parent) : QTableView(parent) {
  static const bool installed = (QAccessible::installFactory(&TableAccessibleFactory), true);
  (void)installed;
  viewport()->setAcceptDrops(true);
}

void ReviewTable::moveDown() {
  const QModelIndex current = currentIndex();
  const QModelIndex below = current.sibling(current.row() + 1, current.column());
  if (below.isValid()) setCurrentIndex(below);
}

void ReviewTable::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() == Qt::NoModifier && state() != EditingState) {
    moveDown();
    return;
  }
  QTableView::keyPressEvent(event);
}

void ReviewTable::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableView::closeEditor(editor, hint);
  // The delegate ends an edit with Enter this way.
  if (hint == QAbstractItemDelegate::SubmitModelCache) moveDown();
}

void ReviewTable::dragEnterEvent(QDragEnterEvent* event) {
  if (IsText(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void ReviewTable::dragMoveEvent(QDragMoveEvent* event) {
  if (IsText(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void ReviewTable::dropEvent(QDropEvent* event) {
  if (!IsText(event->mimeData())) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  const QModelIndex at = indexAt(event->position().toPoint());
  if (at.isValid()) setCurrentIndex(at);
  emit textDropped(event->mimeData()->text());
}

}  // namespace kelmory
