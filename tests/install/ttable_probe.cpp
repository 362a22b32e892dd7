// Preloaded into an installed kelmory (LD_PRELOAD) to open its t-table as a
// user would: select "Other ...", press t-Table, count the list's lines,
// close both windows. The program itself carries no test hook and reads no
// option; the probe finds its widgets by object name. It prints one line,
//   kelmory-probe: rows <n>      or      kelmory-probe: failed: <why>
// and a failure also ends the process with status 3.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const QString& why) {
  std::fprintf(stdout, "kelmory-probe: failed: %s\n", qPrintable(why));
  std::fflush(stdout);
  std::_Exit(3);
}

QWidget* TopLevel(const QString& name) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == name && window->isVisible()) return window;
  }
  return nullptr;
}

template <class Widget>
Widget* Child(const QWidget* root, const char* name) {
  auto* widget = root->findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) Fail(QStringLiteral("no %1 in %2").arg(name, root->objectName()));
  return widget;
}

class Probe final : public QObject {
 public:
  using QObject::QObject;

 protected:
  // Waits for the main window to show, then drives it from the event loop.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!started_ && event->type() == QEvent::Show && watched->objectName() == "frmMain") {
      started_ = true;
      QTimer::singleShot(0, this, [this, main = qobject_cast<QWidget*>(watched)] { Drive(main); });
    }
    return false;
  }

 private:
  void Drive(QWidget* main) {
    QTest::mouseClick(Child<QAbstractButton>(main, "opOther"), Qt::LeftButton);
    auto* table_button = Child<QAbstractButton>(main, "cmdTable2");
    if (!table_button->isEnabled()) Fail(QStringLiteral("t-Table stays disabled under Other"));

    // The t-table window is modal: it is read from inside the click.
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [this] { Inspect(); });
    watch.start(10);
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, [] { Fail(QStringLiteral("the t-table never closed")); });
    deadline.start(10000);
    QTest::mouseClick(table_button, Qt::LeftButton);
    watch.stop();
    deadline.stop();

    if (!message_.isEmpty()) Fail(QStringLiteral("message box: ") + message_);
    if (rows_ < 0) Fail(QStringLiteral("the t-table window never showed"));
    if (rows_ == 0) Fail(QStringLiteral("the t-table is empty"));
    std::fprintf(stdout, "kelmory-probe: rows %d\n", rows_);
    std::fflush(stdout);
    main->close();
  }

  void Inspect() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      message_ = box->text();
      box->done(QMessageBox::Ok);
      return;
    }
    if (QWidget* table = TopLevel(QStringLiteral("frmCITable"))) {
      rows_ = Child<QTreeWidget>(table, "ListView1")->topLevelItemCount();
      table->close();
    }
  }

  bool started_ = false;
  QString message_;
  int rows_ = -1;
};

void Install() { qApp->installEventFilter(new Probe(qApp)); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Install)
