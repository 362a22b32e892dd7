#pragma once
// Support for the window tests: a QApplication on the offscreen platform, a
// watchdog that answers every message box and records it, and lookups of
// real widgets by object name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>
#include <ostream>
#include <vector>

// Failure messages show Qt texts as text, not as bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace kelmory::testing {

struct SeenMessage {
  QString title;
  QString text;
  bool has_icon = false;
  int button_count = 0;
  bool selectable = false;  // the text can be selected and copied
};

// Every message box is answered with OK as soon as it shows. What it said is
// kept until a test takes it; a test that leaves a box untaken fails.
class MessageBoxes {
 public:
  static std::vector<SeenMessage> Take();
  // Runs while the box is up, before it is answered.
  static void OnShow(std::function<void(const SeenMessage&)> observer);
};

// Fails the test on any message box it did not take.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

template <class Widget>
Widget* Find(const QWidget* root, const char* name) {
  auto* widget = root->findChild<Widget*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << "no " << name;
  return widget;
}

// WCAG 2's contrast ratio, written out here so that a window's own
// arithmetic is not what judges it.
double Contrast(const QColor& a, const QColor& b);

// Offscreen windows do not get activation back after a modal box closes.
void Activate(QWidget* window);

// Runs `inspect` on the modal window as soon as it shows, then closes it.
// Call before the click that opens the window.
void WhenModalShows(std::function<void(QWidget* modal)> inspect);

}  // namespace kelmory::testing
