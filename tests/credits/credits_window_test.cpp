// The credits window as a user meets it: opened from a real main window,
// driven with real keys and clicks, message boxes caught by the watchdog.

#include <QDesktopServices>
#include <QImage>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>

#include "credits/credits_texts.h"
#include "credits/frm_credits.h"
#include "tests/support/main_window_fixture.h"

namespace kelmory {
namespace {

using testing::Find;

// Stands in for the browser: records the addresses it is asked to open.
class UrlCatcher final : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() { QDesktopServices::setUrlHandler("https", this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("https"); }
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

class CreditsWindowTest : public testing::ShownMainWindow {
 protected:
  // Presses Credits and returns the window once it is up and active.
  QWidget* Open() {
    QTest::mouseClick(Find<QPushButton>(main_, "cmdCredits"), Qt::LeftButton);
    QWidget* credits = CreditsWindow().Loaded();
    if (credits) EXPECT_TRUE(QTest::qWaitForWindowExposed(credits));
    if (credits) testing::Activate(credits);
    return credits;
  }
  static QString Box(QWidget* credits, const char* name) {
    return Find<QPlainTextEdit>(credits, name)->toPlainText().replace('\n', "\r\n");
  }
};

TEST_F(CreditsWindowTest, OneOwnerlessReadOnlyWindowOffTheTaskbarThatReopensWhole) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  EXPECT_EQ(credits->parentWidget(), nullptr);
  EXPECT_EQ(credits->windowFlags() & Qt::WindowType_Mask, Qt::Tool) << "no taskbar entry";
  EXPECT_FALSE(credits->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(credits->minimumSize(), credits->maximumSize()) << "a fixed border";
  EXPECT_EQ(credits->windowIcon().availableSizes(), QList<QSize>({QSize(16, 16)}));
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(credits, "Text1"));
  for (const char* name : {"Text1", "Text3"})
    EXPECT_TRUE(Find<QPlainTextEdit>(credits, name)->isReadOnly()) << name;
  EXPECT_EQ(credits->windowTitle(), "Programme Credits");
  // The website caption is wider than its button: it shows on two lines
  // rather than one clipped at both ends. Lines are runs of rows with ink.
  const QImage face = Find<QPushButton>(credits, "cmdVaronelWebsite")->grab().toImage();
  int lines = 0, run = 0;
  for (int y = 3; y < face.height() - 3; ++y) {
    bool ink = false;
    for (int x = 4; x < face.width() - 4 && !ink; ++x) ink = face.pixelColor(x, y).lightness() < 96;
    run = ink ? run + 1 : 0;
    lines += run == 4;  // a line of text is taller than an underline
  }
  EXPECT_EQ(lines, 2);
  for (const char* name : {"Text1", "Text3"}) {
    Find<QWidget>(credits, name)->setFocus();
    QTest::keyClicks(Find<QWidget>(credits, name), "typed\b");
    QTest::keyClick(Find<QWidget>(credits, name), Qt::Key_Delete);
  }
  EXPECT_EQ(Box(credits, "Text1"), QString::fromLatin1(credits::kTermsOfUseText))
      << "typing changes nothing";
  testing::Activate(main_);
  EXPECT_EQ(Open(), credits) << "the second press brings the same window to the front";
  EXPECT_EQ(QApplication::activeWindow(), credits);

  QTest::mouseClick(Find<QPushButton>(credits, "cmdUnloadCredits"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(CreditsWindow().Loaded(), nullptr) << "Close unloads the window";
  testing::Activate(main_);
  credits = Open();
  ASSERT_NE(credits, nullptr);
  EXPECT_EQ(Box(credits, "Text1"), QString::fromLatin1(credits::kTermsOfUseText));
  EXPECT_EQ(Box(credits, "Text3"), QString::fromLatin1(credits::kCitationText));
}

TEST_F(CreditsWindowTest, AltVOpensTheWebsiteAndAltCClosesTheWindowNotCompute) {
  UrlCatcher browser;
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  QSignalSpy compute(Find<QPushButton>(main_, "cmdSE"), &QPushButton::clicked);
  // An access key clicks its button once the press animation has run.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return browser.opened.size() == 1; }));
  EXPECT_EQ(browser.opened.value(0), QUrl("https://www.varonel.example/"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([] { return CreditsWindow().Loaded() == nullptr; }));
  EXPECT_EQ(compute.count(), 0);
}

// Offscreen no program opens web addresses, so openUrl fails as it does on a
// desktop without a browser.
TEST_F(CreditsWindowTest, WithoutABrowserTheAddressIsShownToCopyAndTheWindowStays) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  QTest::mouseClick(Find<QPushButton>(credits, "cmdVaronelWebsite"), Qt::LeftButton);
  const std::vector<testing::SeenMessage> seen = testing::MessageBoxes::Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text,
            "The website could not be opened: no web browser could be started.\n"
            "Its address, to copy into a browser:\nhttps://www.varonel.example/");
  EXPECT_TRUE(seen[0].selectable);
  EXPECT_TRUE(credits->isVisible());
}

TEST_F(CreditsWindowTest, EscapeClosesTheWindowAndNotTheMainWindow) {
  ASSERT_NE(Open(), nullptr);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(CreditsWindow().Loaded(), nullptr);
  EXPECT_FALSE(main_.isNull());
}

// Runs inside QApplication::exec, where Qt decides whether the last window
// has closed.
TEST_F(CreditsWindowTest, TheProgramOutlivesTheMainWindowWhileCreditsAreOpen) {
  QSignalSpy last_closed(qApp, &QGuiApplication::lastWindowClosed);
  int closed_at_exit = -1;
  QTimer::singleShot(0, qApp, [&] {
    QWidget* credits = Open();
    testing::Activate(main_);
    QTest::mouseClick(Find<QPushButton>(main_, "cmdExit"), Qt::LeftButton);
    QTimer::singleShot(50, qApp, [&, credits] {
      closed_at_exit = static_cast<int>(last_closed.count());
      if (credits) credits->close();
    });
  });
  QTimer::singleShot(5000, qApp, [] { QApplication::exit(2); });  // only a lost quit gets here
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(main_.isNull()) << "Exit unloads the main window";
  EXPECT_EQ(closed_at_exit, 0) << "the program must not end at Exit";
  EXPECT_EQ(last_closed.count(), 1) << "it ends when the credits window closes";
}

}  // namespace
}  // namespace kelmory

#include "credits_window_test.moc"
