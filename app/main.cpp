// Kelmory's start-up: the application, its icon and the main window. There
// are no settings and no command-line options of Kelmory's own.

#include <QApplication>
#include <QIcon>

#include "main_window/frm_main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelmory/kelmory.ico")));
  // Lets Wayland desktops match the window to the installed desktop file.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.varonel.Kelmory"));

  auto* main_window = new kelmory::frmMain();
  main_window->show();
  return QApplication::exec();
}
