#include <QEventLoop>

#include "toolkit/toolkit.h"

namespace kelmory::toolkit {

FormHolder::FormHolder(Factory factory) : factory_(std::move(factory)) {}

QWidget* FormHolder::Load(QWidget* owner) {
  if (!form_) form_ = factory_(owner);
  return form_;
}

QWidget* FormHolder::ShowModeless() {
  QWidget* form = Load(nullptr);
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

void FormHolder::ShowModal(QWidget* owner) {
  QPointer<QWidget> form = Load(owner);
  form->setWindowModality(Qt::ApplicationModal);
  QEventLoop until_closed;
  QObject::connect(form, &QObject::destroyed, &until_closed, &QEventLoop::quit);
  form->show();
  form->raise();
  form->activateWindow();
  if (form) until_closed.exec(QEventLoop::DialogExec);
}

}  // namespace kelmory::toolkit
