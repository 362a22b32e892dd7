// The credits window as a user meets it: opened from a real main window,
// driven with real keys and clicks, message boxes caught by the watchdog.

#include <QClipboard>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "credits/credits_texts.h"
#include "credits/frm_credits.h"
#include "main_window/frm_main.h"
#include "tests/support/main_window_fixture.h"
#include "toolkit/toolkit.h"

namespace kelmory {
namespace {

using testing::Find;

QString Text(std::string_view ascii) {
  return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size()));
}

// Stands in for the browser: records the addresses it is asked to open.
class UrlCatcher final : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.append(url); }
};

class CreditsWindowTest : public testing::ShownMainWindow {
 protected:
  void PressCredits() {
    QTest::mouseClick(Find<QPushButton>(main_, "cmdCredits"), Qt::LeftButton);
    QApplication::processEvents();
  }

  // The credits windows on the screen.
  static QList<QWidget*> Shown() {
    QList<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->objectName() == "frmCredits" && window->isVisible()) shown.append(window);
    }
    return shown;
  }

  // Opens the window and waits until it is up and active.
  QWidget* Open() {
    PressCredits();
    QWidget* credits = CreditsWindow().Loaded();
    EXPECT_NE(credits, nullptr);
    if (!credits) return nullptr;
    EXPECT_TRUE(QTest::qWaitForWindowExposed(credits));
    testing::Activate(credits);
    return credits;
  }

  static void Unloaded() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

TEST_F(CreditsWindowTest, OpensOwnerlessFixedAndOffTheTaskbar) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  EXPECT_EQ(credits->minimumSize(), credits->maximumSize()) << "the border must be fixed";
  EXPECT_EQ(credits->parentWidget(), nullptr) << "the window has no owner";
  EXPECT_FALSE(credits->windowIcon().isNull());
  EXPECT_EQ(credits->windowIcon().availableSizes().value(0), QSize(16, 16));

  const Qt::WindowFlags flags = credits->windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool) << "no taskbar entry";
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(credits, "Text1"));
}

TEST_F(CreditsWindowTest, TabSkipsTheCitationBox) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  const char* const order[] = {"cmdVaronelWebsite", "cmdUnloadCredits", "Text1"};
  for (const char* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(credits, next)) << next;
  }
}

TEST_F(CreditsWindowTest, TwoPressesGiveOneWindowBroughtToTheFront) {
  QWidget* first = Open();
  ASSERT_NE(first, nullptr);
  testing::Activate(main_);
  ASSERT_EQ(QApplication::activeWindow(), main_.data());

  PressCredits();
  EXPECT_EQ(CreditsWindow().Loaded(), first) << "the open window is reused";
  EXPECT_EQ(Shown(), QList<QWidget*>{first});
  EXPECT_TRUE(QTest::qWaitForWindowActive(first)) << "the second press brings it to the front";
}

TEST_F(CreditsWindowTest, ReopensFreshWithTheSameContent) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  auto* terms = Find<QPlainTextEdit>(credits, "Text1");
  QTest::keyClick(terms, Qt::Key_End, Qt::ControlModifier);  // scroll and move the caret away

  QTest::mouseClick(Find<QPushButton>(credits, "cmdUnloadCredits"), Qt::LeftButton);
  Unloaded();
  EXPECT_EQ(CreditsWindow().Loaded(), nullptr) << "Close unloads the window";
  EXPECT_TRUE(Shown().isEmpty());
  EXPECT_TRUE(main_->isVisible()) << "the main window is unaffected";

  testing::Activate(main_);
  credits = Open();
  ASSERT_NE(credits, nullptr);
  terms = Find<QPlainTextEdit>(credits, "Text1");
  EXPECT_EQ(toolkit::BoxText(terms), Text(credits::kTermsOfUseText));
  EXPECT_EQ(toolkit::BoxText(Find<QPlainTextEdit>(credits, "Text3")), Text(credits::kCitationText));
  EXPECT_EQ(terms->textCursor().position(), 0) << "nothing moved survives a reload";
  EXPECT_EQ(QApplication::focusWidget(), terms);
}

TEST_F(CreditsWindowTest, BoxesCanBeCopiedButNotChanged) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  QApplication::clipboard()->setText(QStringLiteral("pasted"));
  for (const char* name : {"Text1", "Text3"}) {
    SCOPED_TRACE(name);
    auto* box = Find<QPlainTextEdit>(credits, name);
    const QString before = toolkit::BoxText(box);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("typed"));
    for (const int key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return}) {
      QTest::keyClick(box, static_cast<Qt::Key>(key));
    }
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(toolkit::BoxText(box), before);

    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), box->toPlainText());
  }
}

TEST_F(CreditsWindowTest, AltCClosesTheCreditsWindowAndNotCompute) {
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);
  ASSERT_EQ(QApplication::activeWindow(), credits);
  QSignalSpy compute(Find<QPushButton>(main_, "cmdSE"), &QPushButton::clicked);

  // With every main-window box empty, Compute would put up a refusal, which
  // the watchdog reports.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
  // An access key clicks its button once the press animation has run.
  EXPECT_TRUE(QTest::qWaitFor([] { return CreditsWindow().Loaded() == nullptr; }));
  EXPECT_EQ(compute.count(), 0);
  EXPECT_TRUE(main_->isVisible());
}

TEST_F(CreditsWindowTest, WebsiteButtonOpensTheMakersAddressByMouseAndAltV) {
  UrlCatcher browser;
  QWidget* credits = Open();
  ASSERT_NE(credits, nullptr);

  QTest::mouseClick(Find<QPushButton>(credits, "cmdVaronelWebsite"), Qt::LeftButton);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return browser.opened.size() == 2; }));

  const QUrl maker(Text(credits::kMakerWebsite));
  EXPECT_EQ(browser.opened, (QList<QUrl>{maker, maker}));
  EXPECT_EQ(Shown(), QList<QWidget*>{credits}) << "the window stays open";
}

// Runs inside QApplication::exec, where Qt decides whether the last window
// has closed.
TEST_F(CreditsWindowTest, ProgramOutlivesTheMainWindowWhileCreditsAreOpen) {
  ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
  QSignalSpy last_closed(qApp, &QGuiApplication::lastWindowClosed);
  bool closed_after_exit = true;
  bool credits_left_open = false;

  QTimer::singleShot(0, qApp, [&] {
    QWidget* credits = Open();
    if (!credits) return QApplication::exit(1);
    testing::Activate(main_);
    QTest::mouseClick(Find<QPushButton>(main_, "cmdExit"), Qt::LeftButton);
    QTimer::singleShot(50, qApp, [&, credits] {
      closed_after_exit = last_closed.count() > 0;
      credits_left_open = Shown() == QList<QWidget*>{credits};
      testing::Activate(credits);
      QTest::mouseClick(Find<QPushButton>(credits, "cmdUnloadCredits"), Qt::LeftButton);
    });
  });
  // Only a lost quit leaves the loop this way.
  QTimer::singleShot(5000, qApp, [] { QApplication::exit(2); });

  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(main_.isNull()) << "Exit unloads the main window";
  EXPECT_FALSE(closed_after_exit) << "the program must not end at Exit";
  EXPECT_TRUE(credits_left_open);
  EXPECT_EQ(last_closed.count(), 1) << "it ends when the credits window closes";
}

}  // namespace
}  // namespace kelmory

#include "credits_window_test.moc"
