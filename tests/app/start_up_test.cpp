// What the desktop learns of the program as it starts: its names, which tie
// the window to the installed menu entry, its icon, the font its message
// boxes read in, and whether it will start at all.

#include <QFile>
#include <QMessageBox>

#include "app/start_up.h"
#include "tests/support/gui_test.h"

namespace kelmory {
namespace {

TEST(StartUp, TiesTheWindowToTheMenuEntryAndShowsItInTheDesignFont) {
  QApplication::setApplicationName(QStringLiteral("not yet named"));
  QWidget* main = StartUp();
  // The window class, which the desktop file's StartupWMClass names.
  EXPECT_EQ(QApplication::applicationName(), "Kelmory");
  EXPECT_EQ(QGuiApplication::desktopFileName(), "example.varonel.Kelmory");
  EXPECT_TRUE(QFile::exists(QStringLiteral(KELMORY_SOURCE_DIR "/packaging/") +
                            QGuiApplication::desktopFileName() + ".desktop"));
  EXPECT_EQ(QApplication::windowIcon().availableSizes(),
            QList<QSize>({{16, 16}, {32, 32}, {48, 48}}));
  // A message box reads in the font of the window it speaks for.
  const QMessageBox box;
  EXPECT_EQ(box.font().family(), main->font().family());
  EXPECT_EQ(box.font().pointSizeF(), 8.25);
  EXPECT_TRUE(main->isVisible());
  main->close();
}

// DISPLAY or WAYLAND_DISPLAY will do; a platform named outright judges for
// itself; with none of them, no window can show.
TEST(StartUp, NeedsADisplayOfSomeKind) {
  const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
  QByteArray saved[3];
  for (int i = 0; i < 3; ++i) saved[i] = qgetenv(names[i]);
  for (int set = -1; set < 3; ++set) {
    for (int i = 0; i < 3; ++i) i == set ? qputenv(names[i], "x") : qunsetenv(names[i]);
    EXPECT_EQ(HasGraphicalSession(), set >= 0) << (set >= 0 ? names[set] : "none");
  }
  for (int i = 0; i < 3; ++i) saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
}

}  // namespace
}  // namespace kelmory
