#include "app/start_up.h"

#include <QApplication>
#include <QIcon>

#include "main_window/frm_main.h"

namespace kelmory {

QWidget* StartUp() {
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelmory/kelmory.ico")));
  // Lets Wayland desktops match the window to the installed desktop file.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.varonel.Kelmory"));

  auto* main_window = new frmMain();
  main_window->show();
  return main_window;
}

}  // namespace kelmory
