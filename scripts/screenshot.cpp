// Renders Kelmory's windows to PNG files for the README and for review:
//   kelmory_screenshot <output directory>
// Each window is rendered in the default scheme and again in a dark one
// (files ending in -dark.png).

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "credits/frm_credits.h"
#include "main_window/frm_main.h"
#include "scripts/dark_scheme.h"

namespace {

void Save(QWidget* window, const QString& path) {
  if (!window->grab().save(path)) qFatal("cannot write %s", qPrintable(path));
  qInfo("wrote %s", qPrintable(path));
}

// Every window once, each file name ending in `suffix` before ".png".
void RenderAll(const QDir& out, const QString& suffix) {
  const auto file = [&](const char* name) {
    return out.filePath(QString::fromLatin1(name) + suffix + QStringLiteral(".png"));
  };
  auto* main_window = new kelmory::frmMain();
  main_window->show();
  if (!QTest::qWaitForWindowExposed(main_window)) qFatal("the main window did not show");
  Save(main_window, file("main-window"));

  QTest::keyClicks(main_window->findChild<QLineEdit*>(QStringLiteral("txtN")),
                   QStringLiteral("100"));
  QTest::keyClicks(main_window->findChild<QLineEdit*>(QStringLiteral("txtCI")),
                   QStringLiteral("3.92"));
  QTest::mouseClick(main_window->findChild<QPushButton*>(QStringLiteral("cmdSE")), Qt::LeftButton);
  Save(main_window, file("main-window-result"));

  // The t-table window is modal: grab it from inside its own loop.
  QTest::mouseClick(main_window->findChild<QRadioButton*>(QStringLiteral("opOther")),
                    Qt::LeftButton);
  QTimer::singleShot(100, [&] {
    if (QWidget* table = QApplication::activeModalWidget()) {
      Save(table, file("ttable-window"));
      table->close();
    }
  });
  QTest::mouseClick(main_window->findChild<QPushButton*>(QStringLiteral("cmdTable2")),
                    Qt::LeftButton);

  QTest::mouseClick(main_window->findChild<QPushButton*>(QStringLiteral("cmdCredits")),
                    Qt::LeftButton);
  QWidget* credits = kelmory::CreditsWindow().Loaded();
  if (!credits || !QTest::qWaitForWindowExposed(credits)) qFatal("the credits window did not show");
  Save(credits, file("credits-window"));
  credits->close();

  main_window->close();
  QApplication::processEvents();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  // The windows stay in the one run, however many are closed.
  QApplication::setQuitOnLastWindowClosed(false);
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

  RenderAll(out, QString());
  QApplication::setPalette(kelmory::screenshots::DarkScheme());
  RenderAll(out, QStringLiteral("-dark"));
  return 0;
}
