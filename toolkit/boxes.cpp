#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QUrl>
#include <filesystem>
#include <optional>
#include <system_error>

#include "toolkit/toolkit.h"

namespace kelmory::toolkit {

namespace {

// The code a typed key carries, or nothing for keys that only edit or move
// the caret or the focus. Access keys never get here: their shortcut takes
// the keystroke first, so Alt with any other key is typed like the key alone.
std::optional<std::int16_t> CharacterCode(const QKeyEvent& event) {
  const int key = event.key();
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return std::nullopt;
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  switch (key) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    default:
      break;
  }
  if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
    return static_cast<std::int16_t>(key - Qt::Key_A + 1);
  }
  const QString text = event.text();
  if (text.isEmpty() || (modifiers & Qt::ControlModifier)) return std::nullopt;
  return static_cast<std::int16_t>(text.at(0).unicode());
}

class KeyPressFilter final : public QObject {
 public:
  KeyPressFilter(QObject* box, KeyPressHandler handler)
      : QObject(box), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || replaying_) return false;
    const auto* key_event = static_cast<QKeyEvent*>(event);
    const std::optional<std::int16_t> code = CharacterCode(*key_event);
    if (!code) return false;
    std::int16_t key_ascii = *code;
    handler_(key_ascii);
    if (key_ascii == *code) return false;
    if (key_ascii != 0) {
      // The handler substituted another character: the box gets that one.
      QKeyEvent substitute(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                           QString(QChar(static_cast<char16_t>(key_ascii))));
      replaying_ = true;
      QCoreApplication::sendEvent(watched, &substitute);
      replaying_ = false;
    }
    return true;
  }

 private:
  KeyPressHandler handler_;
  bool replaying_ = false;
};

}  // namespace

void OnKeyPress(QWidget* box, KeyPressHandler handler) {
  box->installEventFilter(new KeyPressFilter(box, std::move(handler)));
}

void SetLineText(QLineEdit* box, const QString& text) {
  box->setText(text);
  box->setCursorPosition(0);
}

void SetBoxText(QPlainTextEdit* box, const QString& crlf_text) {
  QString text = crlf_text;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QSignalBlocker quiet(box);
  box->setPlainText(text);
}

void ShowMessage(const QString& text, MessageText kind) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kelmory"), shown, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  if (kind == MessageText::Selectable)
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

QByteArray ProgramDirectory() {
  // Read from the link itself: Qt's own answer is a QString, which loses
  // bytes that are no valid UTF-8.
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && executable.has_parent_path())
    return QByteArray::fromStdString(executable.parent_path().native());
  return QFile::encodeName(QCoreApplication::applicationDirPath());
}

bool OpenWebAddress(const QString& address) { return QDesktopServices::openUrl(QUrl(address)); }

}  // namespace kelmory::toolkit
