#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>

#include "toolkit/toolkit.h"

namespace kelmory::toolkit {

namespace {

constexpr int kNoLengthLimit = std::numeric_limits<int>::max();

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

void SetTextRoles(QWidget* control, const QColor& colour) {
  if (IsTextBox(control)) return SetRoles(control, {QPalette::Text}, colour);
  // Option and check captions are drawn in WindowText, buttons in ButtonText.
  SetRoles(control, {QPalette::WindowText, QPalette::ButtonText}, colour);
}

double Luminance(const QColor& colour) {
  const auto linear = [](double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
         0.0722 * linear(colour.blueF());
}

// The text colour itself where it reads at 4.5:1 on the background;
// otherwise the colour of the same hue and saturation whose lightness is
// nearest that does. Black or white always reads, so one side succeeds.
QColor ReadableColour(const QColor& text, const QColor& background) {
  constexpr double kLeastContrast = 4.5;
  if (ContrastRatio(text, background) >= kLeastContrast) return text;
  const float hue = std::max(text.hslHueF(), 0.0f);  // greys have no hue
  const float saturation = text.hslSaturationF();
  const float lightness = text.lightnessF();
  const auto at = [&](float l) { return QColor(QColor::fromHslF(hue, saturation, l).rgb()); };
  const auto reads = [&](float l) { return ContrastRatio(at(l), background) >= kLeastContrast; };
  float best = 0.0f;
  float best_distance = 2.0f;
  // Luminance grows with lightness, so on each side the colours that read
  // run from the end up to one boundary.
  for (const float end : {0.0f, 1.0f}) {
    if (!reads(end)) continue;
    float fails = lightness;
    float passes = end;
    for (int i = 0; i < 20; ++i) {
      const float middle = (fails + passes) / 2;
      (reads(middle) ? passes : fails) = middle;
    }
    if (std::abs(passes - lightness) < best_distance) {
      best = passes;
      best_distance = std::abs(passes - lightness);
    }
  }
  return at(best);
}

// The designs mix fixed colours with the user's scheme. Where one of text
// and background is fixed and the other the scheme's, a dark scheme can make
// the pair unreadable; the text then takes the nearest colour that reads.
void ApplyDesignColours(QWidget* control) {
  const std::optional<std::uint32_t> back = DesignColour(control, "BackColor");
  const std::optional<std::uint32_t> fore = DesignColour(control, "ForeColor");
  if (!back && !fore) return;
  if (back) SetBackColour(control, *back);
  if (fore) SetForeColour(control, *fore);
  const bool text_box = IsTextBox(control);
  const std::uint32_t back_value = back.value_or(text_box ? kWindowBackground : kButtonFace);
  const std::uint32_t fore_value = fore.value_or(text_box ? kWindowText : kButtonText);
  if (bool(back_value & kSystemColourFlag) == bool(fore_value & kSystemColourFlag)) return;
  const QPalette& scheme = QApplication::palette();
  const QColor text = ColourValue(fore_value, scheme);
  const QColor readable = ReadableColour(text, ColourValue(back_value, scheme));
  if (readable != text) SetTextRoles(control, readable);
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
  SetTextRoles(control, ColourValue(value, QApplication::palette()));
}

double ContrastRatio(const QColor& one, const QColor& other) {
  const double a = Luminance(one);
  const double b = Luminance(other);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
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

void BeginDesign(QWidget* form) {
  form->setFont(DesignFont());
  MarkDesignForm(form);
}

void ApplyDesign(QWidget* form, Border border, StartPosition start) {
  QList<QWidget*> controls = form->findChildren<QWidget*>();
  controls.prepend(form);
  for (QWidget* control : controls) {
    ApplyDesignColours(control);
    // Qt cuts single-line text at 32767 characters; the designs' boxes take any length.
    if (auto* box = qobject_cast<QLineEdit*>(control)) box->setMaxLength(kNoLengthLimit);
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
      // Edit-control margins: the designs' small boxes have no room for more.
      box->document()->setDocumentMargin(1);
    }
    if (auto* box = qobject_cast<QLineEdit*>(control);
        box && box->property("Appearance").toString() == QLatin1String("0")) {
      box->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(dark); }"));
    }
    // Captions are spaced out with runs of blanks, which screen readers
    // would read out; the name says the caption once.
    if (auto* label = qobject_cast<QLabel*>(control); label && label->accessibleName().isEmpty())
      label->setAccessibleName(label->text().simplified());
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
  // As the desktop's secondary windows do; the main window has no cancel key.
  if (border != Border::FixedSingle) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), form);
    QObject::connect(escape, &QShortcut::activated, form, &QWidget::close);
  }

  if (start == StartPosition::CentreScreen) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
    }
  }
}

}  // namespace kelmory::toolkit
