// The main window driven as a user drives it: real keys and clicks on the
// real widgets, message boxes answered by the watchdog.

#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>

#include "tests/support/main_window_fixture.h"

namespace kelmory {
namespace {

using testing::Find;

const QString kAdvisory =
    "Your sample is less than 31 and we would suggest that you use a more conservative estimate "
    "by using a t (alpha/2) value corresponding to N-1 degrees of freedom in computing the "
    "standard error (on the way to computing the SD) from a confidence interval. You can enter "
    "this value by selecting the 'Other' option.";
const QString kNeedB = "You must put data in box (b) and one other box to continue. Exiting.";

// Test names show typed text readably: shortened, odd characters as \uXXXX.
std::string Shown(const QString& text) {
  QString shown;
  for (const QChar c : text.left(12))
    shown +=
        c >= ' ' && c <= '~' ? QString(c) : QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
  if (text.size() > 12) shown += "..." + QString::number(text.size()) + "chars";
  return "'" + shown.toStdString() + "'";
}

class MainWindowTest : public testing::ShownMainWindow {
 protected:
  QLineEdit* Box(const char* name) const { return Find<QLineEdit>(main_, name); }
  QString Working() const {
    return Find<QPlainTextEdit>(main_, "txtWorking")->toPlainText().replace('\n', "\r\n");
  }
  QString Result() const { return Box("txtSD")->text(); }
  void Click(const char* name) {
    QTest::mouseClick(Find<QAbstractButton>(main_, name), Qt::LeftButton);
  }
  void Type(const char* box, const QString& keys) {
    Box(box)->setFocus();
    for (const QChar c : keys) {
      if (c.unicode() < 128) {
        QTest::keyClick(Box(box), c.toLatin1());
      } else {  // a character no key of the test keyboard makes
        QTest::sendKeyEvent(QTest::Click, Box(box), Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  QStringList Messages() {
    QStringList texts;
    for (const auto& seen : testing::MessageBoxes::Take()) texts << seen.text;
    return texts;
  }
};

const QString kInstructions =
    "You must enter figures in (a) and (b) or (b) and (c) to get a result. However, data should "
    "not be \r\nentered in all three boxes. Whichever way you go, data must be entered in the red "
    "square of (b).\r\n\r\nIf you are entering confidence error, put in the +/- amount of the "
    "error from the mean and then select whether \r\nthis error is with 95% confidence or 99% "
    "confidence.\r\n\r\nIf your sample is less than 31 then we would suggest that you use a t "
    "(alpha/2) value corresponding to N-1 degrees of freedom. Therefore, use \r\nthe table "
    "provided to select a t-value and enter that value in the 'Other...' text box under the "
    "confidence intervals frame.\"\r\n";

// Everything a user sees before touching anything.
TEST_F(MainWindowTest, StartsCentredAndFixedWith95SelectedAndTheZFrameOff) {
  EXPECT_EQ(main_->windowTitle(), "Kelmory");
  EXPECT_EQ(main_->minimumSize(), main_->maximumSize()) << "a fixed border";
  EXPECT_FALSE(main_->windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  const QPoint off =
      main_->frameGeometry().center() - main_->screen()->availableGeometry().center();
  EXPECT_TRUE(std::abs(off.x()) <= 2 && std::abs(off.y()) <= 2) << "centred on the screen";
  EXPECT_EQ(QApplication::focusWidget(), Box("txtSE"));
  EXPECT_TRUE(Find<QRadioButton>(main_, "op95")->isChecked());
  EXPECT_FALSE(Find<QRadioButton>(main_, "op99")->isChecked());
  EXPECT_FALSE(Find<QRadioButton>(main_, "opOther")->isChecked());
  for (const char* name : {"Frame2", "txtUser", "txtZ", "cmdTable2"})
    EXPECT_FALSE(Find<QWidget>(main_, name)->isEnabled()) << name;
  for (const char* name : {"txtSE", "txtN", "txtCI", "txtZ", "txtSD"}) {
    EXPECT_TRUE(Box(name)->text().isEmpty()) << name;
    EXPECT_FALSE(Box(name)->isReadOnly()) << name;
  }
  for (const char* name : {"txtInstructions", "txtUser", "txtWorking"})
    EXPECT_FALSE(Find<QPlainTextEdit>(main_, name)->isReadOnly()) << name;
  EXPECT_TRUE(Working().isEmpty());
  EXPECT_EQ(Find<QPlainTextEdit>(main_, "txtInstructions")->toPlainText().replace('\n', "\r\n"),
            kInstructions);
  EXPECT_EQ(Find<QPlainTextEdit>(main_, "txtUser")->toPlainText(),
            "Enter the z or t value to use in formula:\n");
  // The headings, blanks and all (buttons are pressed by their captions in
  // the accessibility test).
  EXPECT_EQ(Find<QLabel>(main_, "lblSE")->text(), "(a)      Standard Error Of Mean:");
  EXPECT_EQ(Find<QLabel>(main_, "lblN")->text(), "(b)" + QString(31, ' ') + "Total N:");
  EXPECT_EQ(Find<QLabel>(main_, "lblConf")->text(), "(c)" + QString(16, ' ') + "Confidence Error:");
  EXPECT_EQ(Find<QLabel>(main_, "lblWorking")->text(), "Working:");
  EXPECT_EQ(Find<QGroupBox>(main_, "frameCI")->title(), "Confidence Interval of Error");
  EXPECT_EQ(Find<QGroupBox>(main_, "Frame2")->title(), "z or t Value");
}

struct ComputeCase {
  const char *option, *se, *n, *ci, *z;
  QString result;   // empty: the result box stays empty
  QString working;  // empty: the working box stays empty
  QStringList messages;
};

void PrintTo(const ComputeCase& c, std::ostream* out) {
  *out << c.option << " se=" << Shown(c.se) << " n=" << Shown(c.n) << " ci=" << Shown(c.ci)
       << " z=" << Shown(c.z);
}

class ComputeTest : public MainWindowTest, public ::testing::WithParamInterface<ComputeCase> {};

TEST_P(ComputeTest, ShowsTheResultThenAnyMessage) {
  const ComputeCase& c = GetParam();
  Click(c.option);
  Type("txtSE", c.se), Type("txtN", c.n), Type("txtCI", c.ci);
  if (Box("txtZ")->isEnabled()) Type("txtZ", c.z);
  QStringList result_at_message;
  testing::MessageBoxes::OnShow([&](const testing::SeenMessage& seen) {
    EXPECT_EQ(seen.title, "Kelmory");
    EXPECT_FALSE(seen.has_icon);
    EXPECT_EQ(seen.button_count, 1);
    result_at_message << Result() + "|" + Working();
  });
  Click("cmdSE");
  EXPECT_EQ(Messages(), c.messages);
  EXPECT_EQ(Result(), c.result);
  EXPECT_EQ(Box("txtSD")->cursorPosition(), 0) << "a long result shows its beginning";
  EXPECT_EQ(Working(), c.working);
  if (!c.messages.isEmpty())
    EXPECT_EQ(result_at_message.value(0), c.result + "|" + c.working)
        << "the boxes are written before the message shows";
}

const QString kCiHead =
    "Standard Error = Confidence Error / z-value equivalence of confidence interval\r\n\r\n";
const QString kSdLine =
    "\r\n\r\nThe estimated Standard Deviation = sqrt(N) * Standard Error\r\n\r\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Inputs, ComputeTest, ::testing::Values(
    ComputeCase{"opOther", "", "20", "5", "2.09", "The standard deviation is: 10.69889",
                kCiHead + "Applying a user specified value of 2.09 as the z-value or t-value equivalent of the confidence interval, the estimated standard error computes as (approximately): 2.39234" + kSdLine +
                "Which computes to 4.47213595499958 * 2.39234449760766\r\n\r\nTherefore, the SD = 10.6988898444966", {}},
    ComputeCase{"op99", "", "20", "1", "2.09", "The standard deviation is: 1.73608",
                kCiHead + "Applying the Central Limit Theorem (and assuming a z-value of 2.576 for the entered 99% confidence interval), the estimated standard error computes as (approximately): 0.3882" + kSdLine +
                "Which computes to 4.47213595499958 * 0.388198757763975\r\n\r\nTherefore, the SD = 1.73607762228245", {kAdvisory}},
    ComputeCase{"op95", "", "31", "3.92", "", "The standard deviation is: 11.13553",
                kCiHead + "Applying the Central Limit Theorem (and assuming a z-value of 1.96 for the entered 95% confidence interval), the estimated standard error computes as (approximately): 2" + kSdLine +
                "Which computes to 5.56776436283002 * 2\r\n\r\nTherefore, the SD = 11.13552872566", {}},
    ComputeCase{"op95", "2", "99999999999999999999999", "", "", "The standard deviation is: 632455532033.676",
                "Standard Deviation = sqrt(N) * Standard Error\r\nWhich computes to 316227766016.838 * 2\r\n\r\nTherefore, the SD = 632455532033.676", {}},
    ComputeCase{"op95", "1", "9", "2", "", "", "", {"You have data in all 3 boxes. Please clear either the Standard Error box or the Confidence Error box."}},
    ComputeCase{"op95", "1", "", "", "", "", "", {kNeedB}},
    ComputeCase{"opOther", "", "9", "2", "", "", "", {"You must enter data in the z or t value box if you selected the 'Other' radio box."}}));
// clang-format on

TEST_F(MainWindowTest, ARefusalEmptiesTheWorkingBoxAndKeepsTheResult) {
  Type("txtSE", "2"), Type("txtN", "25");
  Click("cmdSE");
  Type("txtN", "\b\b");
  Click("cmdSE");
  EXPECT_EQ(Messages(), QStringList{kNeedB});
  EXPECT_TRUE(Working().isEmpty());
  EXPECT_EQ(Result(), "The standard deviation is: 10");
  EXPECT_EQ(Box("txtSE")->text(), "2") << "inputs stay as typed";
}

TEST_F(MainWindowTest, PastedTextIsNeitherFilteredNorCut) {
  QApplication::clipboard()->setText(QString(40000, '0') + "5");  // past Qt's default limit
  Box("txtSE")->paste();  // what the context menu's Paste does
  Type("txtN", "25");
  Click("cmdSE");
  EXPECT_EQ(Result(), "The standard deviation is: 25");
}

bool InCommaLocale() { return QLocale::system().decimalPoint() == ","; }

struct KeyCase {
  const char* box;
  QString keys;
  const char* expected;
  const char* in_comma_locale = nullptr;  // null: as `expected`
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.box << " " << Shown(c.keys); }

class FilterTest : public MainWindowTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(FilterTest, KeepsOnlyWhatTheBoxAccepts) {
  const KeyCase& c = GetParam();
  Click("opOther");
  Type(c.box, c.keys);
  EXPECT_EQ(Box(c.box)->text(),
            InCommaLocale() && c.in_comma_locale ? c.in_comma_locale : c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(TypedKeys, FilterTest, ::testing::Values(
    KeyCase{"txtSE", "0123456789", "0123456789"},
    KeyCase{"txtCI", "1.5.", "1.5"}, KeyCase{"txtZ", "2.0.9", "2.09"}, KeyCase{"txtCI", "1.5\b\b.7", "1.7"},
    KeyCase{"txtSE", "-+,eE xA\r\x1b", "", ","}, KeyCase{"txtN", "3.-0", "30"}, KeyCase{"txtN", "1e5\b", "1"},
    KeyCase{"txtCI", QString::fromUtf8("٫²½"), ""},
    KeyCase{"txtSE", "2,5", "25", "2,5"}, KeyCase{"txtCI", "1,5.", "15.", "1,5"}, KeyCase{"txtZ", "2.0,9", "2.09"},
    KeyCase{"txtZ", "2,5\b\b.7", ".7", "2.7"}, KeyCase{"txtN", "3,0", "30"}));
// clang-format on

TEST_F(MainWindowTest, APointOverASelectedPointIsRefusedButADigitReplacesIt) {
  Click("opOther");
  Type("txtZ", "2.5");
  Box("txtZ")->selectAll();
  Type("txtZ", ".");
  EXPECT_EQ(Box("txtZ")->text(), "2.5");
  Type("txtZ", "7");
  EXPECT_EQ(Box("txtZ")->text(), "7");
}

TEST_F(MainWindowTest, ControlShortcutsDoNothingButEditingKeysWork) {
  QApplication::clipboard()->setText("99");
  Type("txtSE", "12");
  Box("txtSE")->selectAll();
  for (Qt::Key key : {Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_C})
    QTest::keyClick(Box("txtSE"), key, Qt::ControlModifier);
  EXPECT_EQ(Box("txtSE")->text(), "12");
  EXPECT_EQ(QApplication::clipboard()->text(), "99") << "Ctrl+C must not copy";
  for (Qt::Key key : {Qt::Key_End, Qt::Key_Left, Qt::Key_Delete})
    QTest::keyClick(Box("txtSE"), key);
  EXPECT_EQ(Box("txtSE")->text(), "1");
}

TEST_F(MainWindowTest, TheSelectorSwitchesTheZFrameAndTheCaptionColours) {
  const QColor normal = QApplication::palette().color(QPalette::ButtonText);
  const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
  ASSERT_NE(normal, grey);
  const auto caption = [&](const char* name) {
    return Find<QWidget>(main_, name)->palette().color(QPalette::WindowText);
  };
  for (const char* option : {"opOther", "op99", "op95", "op95"}) {
    Click(option);
    const bool other = QString(option) == "opOther";
    for (const char* name : {"Frame2", "txtUser", "txtZ", "cmdTable2"})
      EXPECT_EQ(Find<QWidget>(main_, name)->isEnabled(), other) << option << name;
    for (const char* name : {"op95", "op99", "opOther"})
      EXPECT_EQ(caption(name), QString(name) == option ? normal : grey) << option << name;
  }
}

TEST_F(MainWindowTest, ResetAllUnderOtherEmptiesTheSixBoxesAndKeepsTheSelection) {
  Click("opOther");
  Type("txtZ", "2"), Type("txtCI", "4"), Type("txtN", "16");
  Click("cmdSE");
  ASSERT_FALSE(Result().isEmpty());
  Click("cmdReset");
  for (const char* name : {"txtSE", "txtN", "txtCI", "txtSD", "txtZ"})
    EXPECT_TRUE(Box(name)->text().isEmpty()) << name;
  EXPECT_TRUE(Working().isEmpty());
  EXPECT_TRUE(Find<QRadioButton>(main_, "opOther")->isChecked());
  EXPECT_TRUE(Box("txtZ")->isEnabled());
}

QStringList TabCycle(int presses) {
  QStringList visited;
  for (int i = 0; i < presses; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  return visited;
}

TEST_F(MainWindowTest, TabFollowsTheDesignedOrder) {
  EXPECT_EQ(TabCycle(8), QStringList({"txtN", "txtCI", "cmdSE", "cmdReset", "cmdExit", "op95",
                                      "cmdCredits", "txtSE"}));
  Click("opOther");
  testing::Activate(main_);
  Box("txtSE")->setFocus();
  EXPECT_EQ(TabCycle(9), QStringList({"txtN", "txtCI", "cmdSE", "cmdReset", "cmdExit", "cmdTable2",
                                      "txtZ", "opOther", "cmdCredits"}));
}

TEST_F(MainWindowTest, AccessKeysPressTheirButtonsAndOtherAltKeysAndEnterAndEscapeNothing) {
  Type("txtSE", "2"), Type("txtN", "25");
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
    QTest::keyClick(Box("txtN"), key);
  EXPECT_TRUE(Result().isEmpty()) << "Enter must not compute";
  QTest::keyClick(Box("txtN"), Qt::Key_B, Qt::AltModifier);
  QTest::keyClick(Box("txtN"), Qt::Key_Period, Qt::AltModifier);
  EXPECT_EQ(Box("txtN")->text(), "25") << "Alt with no access key is filtered";
  // An access key animates its button and clicks it a moment later.
  QTest::keyClick(Box("txtN"), Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Result().isEmpty(); })) << "Alt+C computes";
  EXPECT_EQ(Box("txtN")->text(), "25");
  Box("txtSE")->setFocus();
  QTest::keyClick(Box("txtSE"), Qt::Key_Q, Qt::AltModifier);
  EXPECT_EQ(Box("txtSE")->text(), "2");
  QTest::keyClick(Box("txtSE"), Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Box("txtSE")->text().isEmpty(); })) << "Alt+R resets";
  QTest::keyClick(main_, Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main_; })) << "Alt+X exits";
}

// The filter and Compute follow the system's locale, whatever the program's
// default locale says.
TEST_F(MainWindowTest, TheSystemLocalesDecimalKeyReachesCompute) {
  const QString separator = QLocale::system().decimalPoint();
  QLocale::setDefault(QLocale(InCommaLocale() ? QLocale::English : QLocale::German));
  Type("txtSE", "2" + separator + "5"), Type("txtN", "25");
  Click("cmdSE");
  QLocale::setDefault(QLocale::system());
  EXPECT_EQ(Result(), "The standard deviation is: 12" + separator + "5");
}

TEST(SchemeTest, TheContrastFormulaGivesWcagsWorkedPairs) {
  using testing::Contrast;
  EXPECT_NEAR(Contrast(Qt::black, QColor(255, 0, 0)), 5.25, 0.005);
  EXPECT_NEAR(Contrast(Qt::white, Qt::black), 21, 1e-9);
  EXPECT_NEAR(Contrast(QColor(0, 0, 255), Qt::white), 8.59, 0.005);
}

// The design's fixed colours stand in the default scheme; in a dark one, as
// desktop themes set it, they move only as far as they must to read.
TEST(SchemeTest, FixedColoursReadOnLightAndDarkSchemes) {
  using testing::Contrast;
  const QPalette designed = QApplication::palette();
  QPalette dark(QColor(0xdc, 0xdc, 0xdc), QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50),
                QColor(0x20, 0x20, 0x20), QColor(0x2a, 0x2a, 0x2a), QColor(0xdc, 0xdc, 0xdc),
                QColor(0xff, 0xff, 0xff), QColor(0x2a, 0x2a, 0x2a), QColor(0x35, 0x35, 0x35));
  for (const bool is_dark : {false, true}) {
    QApplication::setPalette(is_dark ? dark : designed);
    const auto main = std::make_unique<frmMain>();
    const QPalette instructions = Find<QWidget>(main.get(), "txtInstructions")->palette();
    const QPalette n = Find<QWidget>(main.get(), "txtN")->palette();
    const QColor blue = instructions.color(QPalette::Text);
    EXPECT_GE(Contrast(blue, instructions.color(QPalette::Base)), 4.5) << is_dark;
    EXPECT_EQ(blue.hslHue(), 240) << is_dark;
    EXPECT_EQ(n.color(QPalette::Base), QColor(255, 0, 0)) << is_dark;
    EXPECT_GE(Contrast(n.color(QPalette::Text), QColor(255, 0, 0)), 4.5) << is_dark;
    if (is_dark) continue;
    EXPECT_EQ(blue, QColor(0, 0, 255)) << "light schemes as designed";
    EXPECT_EQ(n.color(QPalette::Text), designed.color(QPalette::Text));
    // The design's scheme colours: boxes on the button face, the options that
    // are not chosen in grey.
    const QColor face = designed.color(QPalette::Button);
    const QColor grey = designed.color(QPalette::Disabled, QPalette::Text);
    ASSERT_NE(face, designed.color(QPalette::Base));
    const std::tuple<const char*, QPalette::ColorRole, QColor> scheme_colours[] = {
        {"txtInstructions", QPalette::Base, face},
        {"txtUser", QPalette::Base, face},
        {"txtSD", QPalette::Base, face},
        {"txtWorking", QPalette::Base, face},
        {"op99", QPalette::WindowText, grey},
        {"opOther", QPalette::WindowText, grey},
        {"op95", QPalette::WindowText, designed.color(QPalette::ButtonText)}};
    for (const auto& [name, role, colour] : scheme_colours)
      EXPECT_EQ(Find<QWidget>(main.get(), name)->palette().color(role), colour) << name;
  }
  QApplication::setPalette(designed);
}

}  // namespace
}  // namespace kelmory
