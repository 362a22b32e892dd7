#pragma once
// Start-up: the application, its icon and the main window (main_window/).
// There are no settings and no command-line options of Kelmory's own.

#include <QWidget>

namespace kelmory {

// Whether there is a display to show windows on: without one Qt would abort
// with its platform plugin's message. A platform named in QT_QPA_PLATFORM
// (offscreen, for one) is left to judge for itself.
bool HasGraphicalSession();

// Names the running QApplication, gives it its icon and shows the main
// window, which deletes itself when it closes.
QWidget* StartUp();

}  // namespace kelmory
