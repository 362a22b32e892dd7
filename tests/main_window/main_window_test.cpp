// The main window driven as a user drives it: real keys and clicks on the
// real widgets, message boxes answered by the watchdog.

#include <QAbstractButton>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "main_window/frm_main.h"
#include "tests/support/main_window_fixture.h"
#include "toolkit/toolkit.h"

namespace kelmory {
namespace {

using testing::Find;
using testing::MessageBoxes;

const char* const kAdvisory =
    "Your sample is less than 31 and we would suggest that you use a more conservative "
    "estimate by using a t (alpha/2) value corresponding to N-1 degrees of freedom in computing "
    "the standard error (on the way to computing the SD) from a confidence interval. You can "
    "enter this value by selecting the 'Other' option.";
const char* const kNeedB = "You must put data in box (b) and one other box to continue. Exiting.";

class MainWindowTest : public testing::ShownMainWindow {
 protected:
  QLineEdit* Box(const char* name) const { return Find<QLineEdit>(main_, name); }
  QPlainTextEdit* Multi(const char* name) const { return Find<QPlainTextEdit>(main_, name); }
  QAbstractButton* Button(const char* name) const { return Find<QAbstractButton>(main_, name); }
  QString Working() const { return toolkit::BoxText(Multi("txtWorking")); }
  QString Result() const { return Box("txtSD")->text(); }

  void Type(const char* box, const QString& keys) {
    Box(box)->setFocus();
    for (const QChar c : keys) {
      if (c.unicode() < 128) {
        QTest::keyClick(Box(box), c.toLatin1());
      } else {  // a character no plain key of the test keyboard makes
        QTest::sendKeyEvent(QTest::Click, Box(box), Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
  std::vector<QString> MessagesShown() {
    std::vector<QString> texts;
    for (const auto& seen : MessageBoxes::Take()) texts.push_back(seen.text);
    return texts;
  }
};

TEST_F(MainWindowTest, StartsInTheDesignedState) {
  EXPECT_EQ(main_->objectName(), "frmMain");
  EXPECT_EQ(main_->windowTitle(), "Kelmory");
  EXPECT_EQ(main_->size(), QSize(729, 596));
  EXPECT_EQ(main_->minimumSize(), main_->maximumSize()) << "the border must be fixed";
  const Qt::WindowFlags flags = main_->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

  EXPECT_EQ(QApplication::focusWidget(), Box("txtSE"));
  EXPECT_TRUE(Find<QRadioButton>(main_, "op95")->isChecked());
  for (const char* name : {"Frame2", "txtUser", "txtZ", "cmdTable2"}) {
    EXPECT_FALSE(Find<QWidget>(main_, name)->isEnabled()) << name;
  }
  for (const char* name : {"txtSE", "txtN", "txtCI", "txtZ", "txtSD"}) {
    EXPECT_TRUE(Box(name)->text().isEmpty()) << name;
  }
  EXPECT_TRUE(Working().isEmpty());

  const QString instructions = toolkit::BoxText(Multi("txtInstructions"));
  EXPECT_EQ(instructions.size(), 640);
  EXPECT_EQ(instructions.count(QStringLiteral("\r\n")), 8);
  EXPECT_TRUE(instructions.endsWith(QStringLiteral("frame.\"\r\n")));
  EXPECT_EQ(toolkit::BoxText(Multi("txtUser")),
            QStringLiteral("Enter the z or t value to use in formula:\r\n"));
  EXPECT_EQ(Find<QLabel>(main_, "lblN")->text(), "(b)" + QString(31, ' ') + "Total N:");
  EXPECT_EQ(Box("txtN")->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(Multi("txtInstructions")->palette().color(QPalette::Text), QColor(0, 0, 255));
}

TEST_F(MainWindowTest, EveryInputAndButtonHasAnAccessibleName) {
  EXPECT_EQ(Box("txtN")->accessibleName(), "(b) Total N");
  for (QWidget* control : main_->findChildren<QWidget*>()) {
    if (qobject_cast<QLineEdit*>(control) || qobject_cast<QAbstractButton*>(control)) {
      EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
    }
  }
}

TEST_F(MainWindowTest, ComputesInStandardErrorMode) {
  Type("txtSE", "2");
  Type("txtN", "25");
  Click("cmdSE");
  EXPECT_TRUE(MessagesShown().empty());
  EXPECT_EQ(Result(), "The standard deviation is: 10");
  EXPECT_EQ(Working(),
            "Standard Deviation = sqrt(N) * Standard Error\r\nWhich computes to 5 * 2\r\n\r\n"
            "Therefore, the SD = 10");
}

TEST_F(MainWindowTest, ComputesInConfidenceErrorModeWithOtherAndNoAdvisory) {
  Click("opOther");
  Type("txtZ", "2.09");
  Type("txtCI", "5");
  Type("txtN", "20");
  Click("cmdSE");
  EXPECT_TRUE(MessagesShown().empty()) << "Other gives no advisory";
  EXPECT_EQ(Result(), "The standard deviation is: 10.69889");
  EXPECT_TRUE(Working().endsWith("Therefore, the SD = 10.6988898444966"));
}

TEST_F(MainWindowTest, ShowsTheAdvisoryOnlyOnceTheResultStands) {
  Type("txtCI", "1");
  Type("txtN", "20");
  Click("op99");
  QString result_at_advisory, working_at_advisory;
  MessageBoxes::OnShow([&](const testing::SeenMessage&) {
    result_at_advisory = Result();
    working_at_advisory = Working();
  });
  Click("cmdSE");
  const auto shown = MessageBoxes::Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, kAdvisory);
  EXPECT_EQ(shown[0].title, "Kelmory");
  EXPECT_FALSE(shown[0].has_icon);
  EXPECT_EQ(shown[0].button_count, 1);
  EXPECT_EQ(result_at_advisory, "The standard deviation is: 1.73608");
  EXPECT_TRUE(working_at_advisory.endsWith("Therefore, the SD = 1.73607762228245"));
}

TEST_F(MainWindowTest, ARefusalEmptiesTheWorkingBoxAndKeepsTheResult) {
  Type("txtSE", "2");
  Type("txtN", "25");
  Click("cmdSE");
  ASSERT_EQ(Result(), "The standard deviation is: 10");

  Box("txtN")->setFocus();
  QTest::keyClick(Box("txtN"), Qt::Key_Backspace);
  QTest::keyClick(Box("txtN"), Qt::Key_Backspace);
  Click("cmdSE");
  EXPECT_EQ(MessagesShown(), std::vector<QString>{kNeedB});
  EXPECT_TRUE(Working().isEmpty());
  EXPECT_EQ(Result(), "The standard deviation is: 10");
  EXPECT_EQ(Box("txtSE")->text(), "2") << "inputs stay as typed";
}

TEST_F(MainWindowTest, RefusesAllThreeBoxesAndOtherWithoutZ) {
  Type("txtSE", "1");
  Type("txtN", "9");
  Type("txtCI", "2");
  Click("cmdSE");
  EXPECT_EQ(MessagesShown(), std::vector<QString>{"You have data in all 3 boxes. Please clear "
                                                  "either the Standard Error box or the "
                                                  "Confidence Error box."});
  Box("txtSE")->clear();
  Click("opOther");
  Click("cmdSE");
  EXPECT_EQ(MessagesShown(), std::vector<QString>{"You must enter data in the z or t value box "
                                                  "if you selected the 'Other' radio box."});
  EXPECT_TRUE(Result().isEmpty());
}

TEST_F(MainWindowTest, PastedTextIsNotFilteredAndIsRefusedAtCompute) {
  QApplication::clipboard()->setText(QStringLiteral("1.2.3"));
  Box("txtSE")->paste();  // what the context menu's Paste does
  Type("txtN", "4");
  Click("cmdSE");
  EXPECT_EQ(Box("txtSE")->text(), "1.2.3");
  EXPECT_EQ(MessagesShown(), std::vector<QString>{"The Standard Error box (a) does not hold a "
                                                  "number that can be used."});
}

struct KeyCase {
  const char* box;
  const char* start;  // text already in the box, caret at the end
  QString keys;
  const char* expected;
};

class FilterTest : public MainWindowTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(FilterTest, KeepsOnlyWhatTheBoxAccepts) {
  const KeyCase& c = GetParam();
  if (QString(c.box) == "txtZ") Click("opOther");
  Box(c.box)->setText(QString::fromLatin1(c.start));
  Type(c.box, c.keys);
  EXPECT_EQ(Box(c.box)->text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TypedKeys, FilterTest,
    ::testing::Values(KeyCase{"txtSE", "", "0123456789", "0123456789"},
                      KeyCase{"txtSE", "", ".", "."}, KeyCase{"txtSE", "", ".5", ".5"},
                      KeyCase{"txtSE", "", "5.", "5."}, KeyCase{"txtCI", "", "1.5.", "1.5"},
                      KeyCase{"txtZ", "", "2.0.9", "2.09"}, KeyCase{"txtSE", "", "-+,eE xA", ""},
                      KeyCase{"txtN", "", "30", "30"}, KeyCase{"txtN", "", "3.-0", "30"},
                      KeyCase{"txtN", "", "1e5", "15"},
                      KeyCase{"txtCI", "", QString::fromUtf8("٫²½"), ""}));

TEST_F(MainWindowTest, BackspaceDeletesAndAllowsANewPoint) {
  Type("txtCI", "1.5");
  QTest::keyClick(Box("txtCI"), Qt::Key_Backspace);
  QTest::keyClick(Box("txtCI"), Qt::Key_Backspace);
  QTest::keyClicks(Box("txtCI"), ".7");
  EXPECT_EQ(Box("txtCI")->text(), "1.7");
}

TEST_F(MainWindowTest, APointOverASelectedPointIsRefusedButADigitReplacesIt) {
  Click("opOther");
  Type("txtZ", "2.5");
  Box("txtZ")->selectAll();
  QTest::keyClick(Box("txtZ"), Qt::Key_Period);
  EXPECT_EQ(Box("txtZ")->text(), "2.5");
  QTest::keyClick(Box("txtZ"), Qt::Key_7);
  EXPECT_EQ(Box("txtZ")->text(), "7");
}

TEST_F(MainWindowTest, ControlShortcutsDoNothingInTheNumericBoxes) {
  QApplication::clipboard()->setText(QStringLiteral("99"));
  Type("txtSE", "12");
  Box("txtSE")->selectAll();
  for (Qt::Key key : {Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_C}) {
    QTest::keyClick(Box("txtSE"), key, Qt::ControlModifier);
  }
  EXPECT_EQ(Box("txtSE")->text(), "12");
  EXPECT_EQ(QApplication::clipboard()->text(), "99") << "Ctrl+C must not copy";
  // Keys without a character still edit as usual.
  QTest::keyClick(Box("txtSE"), Qt::Key_End);
  QTest::keyClick(Box("txtSE"), Qt::Key_Left);
  QTest::keyClick(Box("txtSE"), Qt::Key_Delete);
  EXPECT_EQ(Box("txtSE")->text(), "1");
}

TEST_F(MainWindowTest, TheSelectorSwitchesTheZFrameAndTheCaptionColours) {
  const QColor normal = toolkit::ColourValue(toolkit::kButtonText, QApplication::palette());
  const QColor grey = toolkit::ColourValue(toolkit::kGreyText, QApplication::palette());
  ASSERT_NE(normal, grey);
  const auto caption = [&](const char* name) {
    return Button(name)->palette().color(QPalette::WindowText);
  };
  struct State {
    const char* option;
    bool z_enabled;
    QColor c95, c99, cother;
  };
  for (const State& s :
       {State{"opOther", true, grey, grey, normal}, State{"op99", false, grey, normal, grey},
        State{"op95", false, normal, grey, grey}, State{"op95", false, normal, grey, grey}}) {
    Click(s.option);
    EXPECT_TRUE(Find<QRadioButton>(main_, s.option)->isChecked());
    for (const char* name : {"Frame2", "txtUser", "txtZ", "cmdTable2"}) {
      EXPECT_EQ(Find<QWidget>(main_, name)->isEnabled(), s.z_enabled) << s.option << name;
    }
    EXPECT_EQ(caption("op95"), s.c95) << s.option;
    EXPECT_EQ(caption("op99"), s.c99) << s.option;
    EXPECT_EQ(caption("opOther"), s.cother) << s.option;
  }
}

TEST_F(MainWindowTest, TheZValueSurvivesASwitchAwayAndBack) {
  Click("opOther");
  Type("txtZ", "2.09");
  Type("txtCI", "5");
  Type("txtN", "20");
  Click("op99");
  EXPECT_EQ(Box("txtZ")->text(), "2.09");
  Click("cmdSE");
  EXPECT_EQ(MessagesShown().size(), 1u) << "the 99% advisory";
  EXPECT_TRUE(Working().contains("z-value of 2.576 for the entered 99%"));
  Click("opOther");
  Click("cmdSE");
  EXPECT_TRUE(Working().contains("user specified value of 2.09 as the z-value"));
}

TEST_F(MainWindowTest, ResetAllUnderOtherEmptiesTheSixBoxesAndKeepsTheSelection) {
  Click("opOther");
  Type("txtZ", "2");
  Type("txtCI", "4");
  Type("txtN", "16");
  Click("cmdSE");
  ASSERT_FALSE(Result().isEmpty());
  Box("txtSE")->setText("7");
  Click("cmdReset");
  for (const char* name : {"txtSE", "txtN", "txtCI", "txtSD", "txtZ"}) {
    EXPECT_TRUE(Box(name)->text().isEmpty()) << name;
  }
  EXPECT_TRUE(Working().isEmpty());
  EXPECT_TRUE(Find<QRadioButton>(main_, "opOther")->isChecked());
  EXPECT_TRUE(Find<QWidget>(main_, "txtZ")->isEnabled());
  EXPECT_TRUE(toolkit::BoxText(Multi("txtInstructions")).size() == 640);
  Click("cmdReset");  // again, with nothing left to clear
  EXPECT_TRUE(MessagesShown().empty());
}

std::vector<QString> TabCycle(QWidget* start, int presses) {
  std::vector<QString> visited;
  for (int i = 0; i < presses; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget()->objectName());
  }
  (void)start;
  return visited;
}

TEST_F(MainWindowTest, TabFollowsTheDesignedOrder) {
  EXPECT_EQ(TabCycle(Box("txtSE"), 8),
            (std::vector<QString>{"txtN", "txtCI", "cmdSE", "cmdReset", "cmdExit", "op95",
                                  "cmdCredits", "txtSE"}));
  Click("opOther");
  testing::Activate(main_);
  Box("txtSE")->setFocus();
  EXPECT_EQ(TabCycle(Box("txtSE"), 9),
            (std::vector<QString>{"txtN", "txtCI", "cmdSE", "cmdReset", "cmdExit", "cmdTable2",
                                  "txtZ", "opOther", "cmdCredits"}));
}

TEST_F(MainWindowTest, AccessKeysPressTheirButtons) {
  Type("txtSE", "2");
  // An access key animates its button and clicks it a moment later.
  QTest::keyClick(main_, Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Box("txtSE")->text().isEmpty(); })) << "Alt+R resets";

  QTest::keyClick(main_, Qt::Key_C, Qt::AltModifier);
  QTest::qWaitFor([&] { return false; }, 300);
  EXPECT_EQ(MessagesShown(), std::vector<QString>{kNeedB}) << "Alt+C computes";

  testing::Activate(main_);
  QTest::keyClick(main_, Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main_ || !main_->isVisible(); })) << "Alt+X exits";
}

TEST_F(MainWindowTest, EnterAndEscapePressNothing) {
  Type("txtSE", "2");
  Type("txtN", "25");
  for (const char* name : {"txtSE", "txtN", "txtCI"}) {
    Box(name)->setFocus();
    QTest::keyClick(Box(name), Qt::Key_Return);
    QTest::keyClick(Box(name), Qt::Key_Enter);
    QTest::keyClick(Box(name), Qt::Key_Escape);
  }
  EXPECT_TRUE(Result().isEmpty()) << "Enter must not compute";
  EXPECT_TRUE(main_->isVisible()) << "Escape must not exit";
  EXPECT_EQ(Box("txtSE")->text(), "2");
}

}  // namespace
}  // namespace kelmory
