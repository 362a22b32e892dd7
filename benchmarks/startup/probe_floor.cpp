// The floor: the least a Qt program does to show one empty window of the
// main window's size.

#include <QApplication>

#include "benchmarks/startup/probe.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(729, 596);
  window.show();
  return ReportWhenShown(&window);
}
