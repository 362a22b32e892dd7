#include "app/start_up.h"

#include <QApplication>
#include <QIcon>

#include "main_window/frm_main.h"
#include "toolkit/toolkit.h"

namespace kelmory {

bool HasGraphicalSession() {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QWidget* StartUp() {
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  QApplication::setWindowIcon(toolkit::ProgramIcon());
  // Every text box lays its document out in the application font before its
  // own applies; with the design font there from the start, no other font
  // is loaded, and message boxes read in it too.
  QApplication::setFont(toolkit::DesignFont());
  // Lets Wayland desktops match the window to the installed desktop file.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.varonel.Kelmory"));

  auto* main_window = new frmMain();
  main_window->show();
  return main_window;
}

}  // namespace kelmory
