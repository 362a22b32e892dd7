#include "tests/support/gui_test.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace kelmory::testing {

namespace {

std::vector<SeenMessage>& Pending() {
  static std::vector<SeenMessage> pending;
  return pending;
}

std::function<void(const SeenMessage&)>& Observer() {
  static std::function<void(const SeenMessage&)> observer;
  return observer;
}

std::vector<std::function<void(QWidget*)>>& ModalInspectors() {
  static std::vector<std::function<void(QWidget*)>> inspectors;
  return inspectors;
}

void Watch() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    const SeenMessage seen{box->windowTitle(), box->text(), box->icon() != QMessageBox::NoIcon,
                           static_cast<int>(box->buttons().size()),
                           box->textInteractionFlags().testFlag(Qt::TextSelectableByMouse)};
    Pending().push_back(seen);
    if (auto observer = std::exchange(Observer(), nullptr)) observer(seen);
    box->done(QMessageBox::Ok);
    return;
  }
  if (!ModalInspectors().empty() && modal->isVisible()) {
    auto inspect = ModalInspectors().front();
    ModalInspectors().erase(ModalInspectors().begin());
    inspect(modal);
    modal->close();
  }
}

}  // namespace

std::vector<SeenMessage> MessageBoxes::Take() { return std::exchange(Pending(), {}); }

void MessageBoxes::OnShow(std::function<void(const SeenMessage&)> observer) {
  Observer() = std::move(observer);
}

void GuiTest::SetUp() { MessageBoxes::Take(); }

void GuiTest::TearDown() {
  for (const SeenMessage& seen : MessageBoxes::Take()) {
    ADD_FAILURE() << "unexpected message box: " << seen.text.toStdString();
  }
  EXPECT_TRUE(ModalInspectors().empty()) << "a modal window that was awaited never showed";
  ModalInspectors().clear();
  MessageBoxes::OnShow(nullptr);
  for (QWidget* window : QApplication::topLevelWidgets()) window->close();
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Activate(QWidget* window) {
  window->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(window));
  // Shortcuts go by the focus window, which can lag behind, over a modal one.
  EXPECT_TRUE(QTest::qWaitFor(
      [window] { return QGuiApplication::focusWindow() == window->windowHandle(); }));
}

void WhenModalShows(std::function<void(QWidget* modal)> inspect) {
  ModalInspectors().push_back(std::move(inspect));
}

double Contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto linear = [](double v) {
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace kelmory::testing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelmory"));
  ::testing::InitGoogleTest(&argc, argv);
  // The watchdog: no modal box may wait for a person.
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, &kelmory::testing::Watch);
  watchdog.start(5);
  return RUN_ALL_TESTS();
}
