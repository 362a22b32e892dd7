// kelmory-review [FILE]: the review window, with FILE opened in it.

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>

#include "review/quit_signals.h"
#include "review/review_window.h"
#include "toolkit/toolkit.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kelmory-review"));
  QApplication::setApplicationDisplayName(QStringLiteral("Kelmory Review"));
  QApplication::setApplicationVersion(QStringLiteral(KELMORY_VERSION));
  QApplication::setWindowIcon(kelmory::toolkit::ProgramIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("example.varonel.KelmoryReview"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Converts a whole review's standard errors and intervals into SDs."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("a CSV table to open"));
  parser.process(app);

  auto* window = new kelmory::ReviewWindow();
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  // A SIGTERM or SIGHUP keeps the unsaved edits for the next start.
  auto* quit_signals = new kelmory::review::QuitSignals(&app);
  QObject::connect(quit_signals, &kelmory::review::QuitSignals::received, window,
                   &kelmory::ReviewWindow::keepEditsAndQuit);
  const bool restored = window->offerRecovery();
  if (!restored && !parser.positionalArguments().isEmpty())
    window->openFile(parser.positionalArguments().front());
  // Ended by a signal the window is still open: its recovery lock goes too.
  const QPointer<kelmory::ReviewWindow> open_window(window);
  const int status = QApplication::exec();
  delete open_window.data();
  return status;
}
