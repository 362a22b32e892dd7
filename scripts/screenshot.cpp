// Renders Kelmory's windows to PNG files for the README and for review:
//   kelmory_screenshot <output directory>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "credits/frm_credits.h"
#include "main_window/frm_main.h"

namespace {

void Save(QWidget* window, const QString& path) {
  if (!window->grab().save(path)) qFatal("cannot write %s", qPrintable(path));
  qInfo("wrote %s", qPrintable(path));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

  auto* main_window = new kelmory::frmMain();
  main_window->show();
  QTest::qWaitForWindowExposed(main_window);
  Save(main_window, out.filePath(QStringLiteral("main-window.png")));

  QTest::keyClicks(main_window->findChild<QLineEdit*>(QStringLiteral("txtN")),
                   QStringLiteral("100"));
  QTest::keyClicks(main_window->findChild<QLineEdit*>(QStringLiteral("txtCI")),
                   QStringLiteral("3.92"));
  QTest::mouseClick(main_window->findChild<QPushButton*>(QStringLiteral("cmdSE")), Qt::LeftButton);
  Save(main_window, out.filePath(QStringLiteral("main-window-result.png")));

  // The t-table window is modal: grab it from inside its own loop.
  QTest::mouseClick(main_window->findChild<QRadioButton*>(QStringLiteral("opOther")),
                    Qt::LeftButton);
  QTimer::singleShot(100, [&] {
    if (QWidget* table = QApplication::activeModalWidget()) {
      Save(table, out.filePath(QStringLiteral("ttable-window.png")));
      table->close();
    }
  });
  QTest::mouseClick(main_window->findChild<QPushButton*>(QStringLiteral("cmdTable2")),
                    Qt::LeftButton);

  QTest::mouseClick(main_window->findChild<QPushButton*>(QStringLiteral("cmdCredits")),
                    Qt::LeftButton);
  QWidget* credits = kelmory::CreditsWindow().Loaded();
  if (!credits || !QTest::qWaitForWindowExposed(credits)) qFatal("the credits window did not show");
  Save(credits, out.filePath(QStringLiteral("credits-window.png")));
  credits->close();

  main_window->close();
  return 0;
}
