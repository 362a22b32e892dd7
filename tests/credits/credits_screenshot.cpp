// Renders the credits window to credits-window.png for the README:
//   credits_screenshot <output directory>

#include <QApplication>
#include <QDir>
#include <QTest>

#include "credits/frm_credits.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

  QWidget* credits = kelmory::CreditsWindow().ShowModeless();
  if (!QTest::qWaitForWindowExposed(credits)) qFatal("the credits window did not show");
  const QString path = out.filePath(QStringLiteral("credits-window.png"));
  if (!credits->grab().save(path)) qFatal("cannot write %s", qPrintable(path));
  qInfo("wrote %s", qPrintable(path));
  credits->close();
  return 0;
}
