#include <QApplication>
#include <cstdio>

#include "app/start_up.h"

int main(int argc, char* argv[]) {
  if (!kelmory::HasGraphicalSession()) {
    std::fputs("Kelmory needs a graphical session (DISPLAY or WAYLAND_DISPLAY); neither is set.\n",
               stderr);
    return 1;
  }
  QApplication app(argc, argv);
  kelmory::StartUp();
  return QApplication::exec();
}
