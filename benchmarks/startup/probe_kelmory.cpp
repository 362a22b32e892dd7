// Kelmory's start-up exactly as the program does it, up to the shown window.

#include <QApplication>

#include "app/start_up.h"
#include "benchmarks/startup/probe.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  return ReportWhenShown(kelmory::StartUp());
}
