#include <QAccessible>
#include <QAccessibleWidget>

#include "toolkit/toolkit.h"

namespace kelmory::toolkit {

namespace {

constexpr char kDesignForm[] = "kelmoryDesignForm";

// Qt reports a top-level plain widget as a client area, which screen readers
// hear as a "filler". A window built from a design is a frame, or a dialog
// where it is one; a modal one says so.
class DesignWindow final : public QAccessibleWidget {
 public:
  explicit DesignWindow(QWidget* form) : QAccessibleWidget(form, QAccessible::Window) {}

  QAccessible::Role role() const override {
    // Read each time: the border is applied after the design is built.
    const Qt::WindowType type = widget()->windowType();
    return type == Qt::Dialog || type == Qt::Tool ? QAccessible::Dialog : QAccessible::Window;
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    if (widget()->isModal()) state.modal = true;
    return state;
  }
};

// Asked once for each class of an object's hierarchy, most derived first.
QAccessibleInterface* DesignWindowFactory(const QString& class_name, QObject* object) {
  if (object == nullptr || !object->isWidgetType() || !object->property(kDesignForm).toBool())
    return nullptr;
  if (class_name != QLatin1String(object->metaObject()->className())) return nullptr;
  return new DesignWindow(static_cast<QWidget*>(object));
}

}  // namespace

void MarkDesignForm(QWidget* form) {
  static const bool installed = [] {
    QAccessible::installFactory(DesignWindowFactory);
    return true;
  }();
  static_cast<void>(installed);
  form->setProperty(kDesignForm, true);
}

}  // namespace kelmory::toolkit
