// Kelmory's start-up exactly as app/main.cpp does it, up to the shown window.

#include <QApplication>
#include <QIcon>

#include "benchmarks/startup/probe.h"
#include "main_window/frm_main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelmory/kelmory.ico")));
  QGuiApplication::setDesktopFileName(QStringLiteral("example.varonel.Kelmory"));
  auto* main_window = new kelmory::frmMain();
  main_window->show();
  return ReportWhenShown(main_window);
}
