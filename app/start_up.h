#pragma once
// Start-up: the application, its icon and the main window (main_window/).
// There are no settings and no command-line options of Kelmory's own.

#include <QWidget>

namespace kelmory {

// Names the running QApplication, gives it its icon and shows the main
// window, which deletes itself when it closes.
QWidget* StartUp();

}  // namespace kelmory
