// The credits window as a user meets it: opened from a real main window,
// driven with real keys and clicks, message boxes caught by the watchdog.

#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>

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

// The texts byte for byte, CR LF line ends and trailing blanks included: a
// typo that keeps the length must fail too, and a failure shows the
// difference.
const QString kCitation = QStringLiteral(
    "Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00). \r\n"
    "https://www.varonel.example/ Brennholme upon Aske, Ostreland.\r\n");
// clang-format off
const QString kTerms = QStringLiteral(
      "I. Summary\r\n"
      "This software is provided to you free of charge, on an as-is basis. You may use it, and you may \r\n"
      "pass it on to other people, as long as it stays whole and all of its credits remain in place.\r\n"
      "\r\n"
      "II. Limitations\r\n"
      "II. a. Good Faith\r\n"
      "The programme was coded in good faith. Anyone who doubts the honesty of its code may \r\n"
      "be given insight into the code through a trusted organisation, such as a university, within \r\n"
      "limits: for example a single copy, for a limited time, to be removed when the evaluation ends.\r\n"
      "\r\n"
      "II. b. Warranty\r\n"
      "The makers have tried to make the code as stable as they could. They warrant that no code was placed \r\n"
      "in the programme to harm your system, and that no spyware or similar malware is in it or attached to it.\r\n"
      "\r\n"
      "II.c. Liability\r\n"
      "The programme was written with care, and it was tested on a good number of systems before its release. \r\n"
      "So far nobody has reported any damage to their system from using it. Even so, the makers are not \r\n"
      "liable for any damage however caused, including any damage that you might do to your own system with it.\r\n"
      "\r\n"
      "II.d. Use of application in whole\r\n"
      "Use of this software is limited to the application in whole; using only \r\n"
      "parts of it, on their own or inside other software, is not permitted.\r\n"
      "\r\n"
      "Kelmory is written and given away freely by Varonel.\r\n");
// clang-format on

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
  EXPECT_EQ(Box(credits, "Text1"), kTerms) << "typing changes nothing";
  testing::Activate(main_);
  EXPECT_EQ(Open(), credits) << "the second press brings the same window to the front";
  EXPECT_EQ(QApplication::activeWindow(), credits);

  QTest::mouseClick(Find<QPushButton>(credits, "cmdUnloadCredits"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(CreditsWindow().Loaded(), nullptr) << "Close unloads the window";
  testing::Activate(main_);
  credits = Open();
  ASSERT_NE(credits, nullptr);
  EXPECT_EQ(Box(credits, "Text1"), kTerms);
  EXPECT_EQ(Box(credits, "Text3"), kCitation);
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
