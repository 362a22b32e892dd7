// The floor: the main window's widgets built in plain code, the same kinds,
// count, geometry and texts, with none of the design work around them (no
// .ui, no icon, no palette, no font). What start-up costs beyond this is
// Kelmory's own.

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "benchmarks/startup/probe.h"

namespace {

template <class Widget, class... Text>
Widget* Place(QWidget* parent, int x, int y, int width, int height, const Text&... text) {
  auto* widget = new Widget(text..., parent);
  widget->setGeometry(x, y, width, height);
  return widget;
}

constexpr const char* kInstructions =
    "You must enter figures in (a) and (b) or (b) and (c) to get a result. However, data should "
    "not be \nentered in all three boxes. Whichever way you go, data must be entered in the red "
    "square of (b).\n\nIf you are entering confidence error, put in the +/- amount of the "
    "error from the mean and then select whether \nthis error is with 95% confidence or 99% "
    "confidence.\n\nIf your sample is less than 31 then we would suggest that you use a t "
    "(alpha/2) value corresponding to N-1 degrees of freedom. Therefore, use \nthe table "
    "provided to select a t-value and enter that value in the 'Other...' text box under the "
    "confidence intervals frame.\"\n";

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Kelmory"));
  window.setFixedSize(729, 596);

  Place<QPlainTextEdit>(&window, 24, 16, 673, 121, QString::fromLatin1(kInstructions));
  Place<QLabel>(&window, 72, 176, 153, 17, QStringLiteral("(a)      Standard Error Of Mean:"));
  Place<QLineEdit>(&window, 240, 175, 81, 19);
  Place<QLabel>(&window, 72, 209, 153, 17,
                QStringLiteral("(b)                               Total N:"));
  Place<QLineEdit>(&window, 240, 208, 81, 19);
  Place<QLabel>(&window, 64, 241, 161, 17, QStringLiteral("(c)                Confidence Error:"));
  Place<QLineEdit>(&window, 240, 240, 81, 19);
  auto* frame =
      Place<QGroupBox>(&window, 352, 176, 233, 137, QStringLiteral("Confidence Interval of Error"));
  Place<QRadioButton>(frame, 32, 16, 41, 25, QStringLiteral("95%"))->setChecked(true);
  Place<QRadioButton>(frame, 104, 16, 41, 25, QStringLiteral("99%"));
  Place<QRadioButton>(frame, 168, 21, 59, 15, QStringLiteral("Other ..."));
  auto* frame2 = Place<QGroupBox>(frame, 56, 48, 111, 77, QStringLiteral("z or t Value"));
  frame2->setEnabled(false);
  Place<QPlainTextEdit>(frame2, 8, 18, 101, 31,
                        QStringLiteral("Enter the z or t value to use in formula:\n"));
  Place<QLineEdit>(frame2, 6, 50, 49, 19);
  Place<QPushButton>(frame2, 58, 52, 47, 17, QStringLiteral("t-Table"));
  Place<QPushButton>(&window, 152, 328, 67, 25, QStringLiteral("&Compute"));
  Place<QPushButton>(&window, 344, 328, 67, 25, QStringLiteral("&Reset All"));
  Place<QPushButton>(&window, 544, 328, 67, 25, QStringLiteral("E&xit"));
  Place<QLineEdit>(&window, 280, 376, 185, 19);
  Place<QPushButton>(&window, 648, 376, 67, 25, QStringLiteral("Cr&edits"));
  Place<QLabel>(&window, 16, 400, 73, 17, QStringLiteral("Working:"));
  Place<QPlainTextEdit>(&window, 16, 424, 697, 153);

  window.show();
  return ReportWhenShown(&window);
}
