#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScreen>
#include <initializer_list>
#include <optional>

#include "toolkit/toolkit.h"

namespace kelmory::toolkit {

namespace {

// Design properties hold colour values as VB-style hex text, "&H8000000F&",
// or plain numbers; either way the same 32-bit value.
std::optional<std::uint32_t> DesignColour(const QWidget* control, const char* name) {
  const QVariant value = control->property(name);
  if (!value.isValid()) return std::nullopt;
  QString text = value.toString().trimmed().toUpper();
  if (text.startsWith("&H")) text = text.mid(2);
  if (text.endsWith('&')) text.chop(1);
  if (text.startsWith("0X")) text = text.mid(2);
  bool ok = false;
  const std::uint32_t colour = text.toUInt(&ok, 16);
  if (!ok) return std::nullopt;
  return colour;
}

bool IsTextBox(const QWidget* control) {
  return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control);
}

// One palette change for all the roles a colour stands for, every colour
// group included, disabled too.
void SetRoles(QWidget* control, std::initializer_list<QPalette::ColorRole> roles,
              const QColor& colour) {
  QPalette palette = control->palette();
  for (const QPalette::ColorRole role : roles) palette.setColor(role, colour);
  control->setPalette(palette);
}

}  // namespace

QColor ColourValue(std::uint32_t value, const QPalette& scheme) {
  if (!(value & kSystemColourFlag)) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
  }
  switch (value) {
    case kWindowBackground:
      return scheme.color(QPalette::Active, QPalette::Base);
    case kWindowText:
      return scheme.color(QPalette::Active, QPalette::Text);
    case kGreyText:
      return scheme.color(QPalette::Disabled, QPalette::Text);
    case kButtonText:
      return scheme.color(QPalette::Active, QPalette::ButtonText);
    case kButtonFace:
    default:
      return scheme.color(QPalette::Active, QPalette::Button);
  }
}

void SetBackColour(QWidget* control, std::uint32_t value) {
  const QColor colour = ColourValue(value, QApplication::palette());
  if (IsTextBox(control)) return SetRoles(control, {QPalette::Base}, colour);
  SetRoles(control, {QPalette::Window, QPalette::Button}, colour);
}

void SetForeColour(QWidget* control, std::uint32_t value) {
  const QColor colour = ColourValue(value, QApplication::palette());
  if (IsTextBox(control)) return SetRoles(control, {QPalette::Text}, colour);
  // Option and check captions are drawn in WindowText, buttons in ButtonText.
  SetRoles(control, {QPalette::WindowText, QPalette::ButtonText}, colour);
}

QFont DesignFont() {
  // Chosen once, from the font database's list of families: no font is
  // loaded only to learn that the face is missing.
  static const QFont design = [] {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    const QStringList installed = QFontDatabase::families();
    if (!installed.contains(font.family())) {
      // Named directly, the substitute is matched at the first try.
      for (const char* substitute : {"Liberation Sans", "Arimo", "DejaVu Sans"}) {
        if (installed.contains(QLatin1String(substitute))) {
          font.setFamily(QLatin1String(substitute));
          break;
        }
      }
      // The substitutes run about 8% wider than the original face, enough to
      // push the designs' longest lines out of their boxes.
      font.setStretch(92);
    }
    return font;
  }();
  return design;
}

void BeginDesign(QWidget* form) { form->setFont(DesignFont()); }

void ApplyDesign(QWidget* form, Border border, StartPosition start) {
  QList<QWidget*> controls = form->findChildren<QWidget*>();
  controls.prepend(form);
  for (QWidget* control : controls) {
    if (const auto back = DesignColour(control, "BackColor")) SetBackColour(control, *back);
    if (const auto fore = DesignColour(control, "ForeColor")) SetForeColour(control, *fore);
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
      // Edit-control margins: the designs' small boxes have no room for more.
      box->document()->setDocumentMargin(1);
    }
    if (auto* box = qobject_cast<QLineEdit*>(control);
        box && box->property("Appearance").toString() == QLatin1String("0")) {
      box->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(dark); }"));
    }
  }

  Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if (border == Border::FixedSingle) {
    flags |= Qt::Window | Qt::WindowSystemMenuHint;
  } else if (border == Border::OwnerlessFixedDialog) {
    flags |= Qt::Tool;  // taskbars leave tool windows out
  } else {
    flags |= Qt::Dialog;
  }
  form->setWindowFlags(flags);
  // Qt drops tool windows from the last-window count; this one must count.
  if (border == Border::OwnerlessFixedDialog) form->setAttribute(Qt::WA_QuitOnClose);
  form->setFixedSize(form->size());
  form->setAttribute(Qt::WA_DeleteOnClose);

  if (start == StartPosition::CentreScreen) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
    }
  }
}

}  // namespace kelmory::toolkit
