#include "review/review_table.h"

#include <QAccessible>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>

#include "review/review_model.h"
#include "review/table_accessible.h"

namespace kelmory {
namespace {

// Column names with each arm's band above its columns, inputs and results.
class ArmHeader final : public QHeaderView {
 public:
  explicit ArmHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

 protected:
  // Over the sections as drawn: the style draws each section whole.
  void paintEvent(QPaintEvent* event) override {
    QHeaderView::paintEvent(event);
    if (!model()) return;
    QPainter painter(viewport());
    for (int section = 0; section < count(); ++section) {
      if (isSectionHidden(section)) continue;
      const int left = sectionViewportPosition(section), width = sectionSize(section);
      if (left + width < 0 || left > viewport()->width()) continue;
      const QVariant band = model()->headerData(section, Qt::Horizontal, review::kArmBandRole);
      if (band.canConvert<QColor>())
        painter.fillRect(QRect(left, 0, width, kBand), band.value<QColor>());
    }
  }
  QSize sectionSizeFromContents(int section) const override {
    QSize size = QHeaderView::sectionSizeFromContents(section);
    size.rheight() += kBand;
    return size;
  }

 private:
  static constexpr int kBand = 4;
};

// Text, not files: a dropped file is the window's to open.
bool IsText(const QMimeData* data) { return data->hasText() && !data->hasUrls(); }

}  // namespace

ReviewTable::ReviewTable(QWidget* parent) : QTableView(parent) {
  setHorizontalHeader(new ArmHeader(this));
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
