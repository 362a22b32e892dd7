#pragma once
// SIGTERM, SIGHUP and SIGINT as a Qt signal: the handler only writes a byte
// to a pipe, and the event loop does the rest (keeps the unsaved edits and
// quits), after a save in progress has finished or removed its temporary.

#include <QObject>

class QSocketNotifier;

namespace kelmory::review {

class QuitSignals final : public QObject {
  Q_OBJECT

 public:
  explicit QuitSignals(QObject* parent);
  ~QuitSignals() override;

 signals:
  void received(int signal);

 private:
  void readPipe();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelmory::review
