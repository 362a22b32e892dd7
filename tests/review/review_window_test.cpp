// The review window driven as a user drives it: real keys, clicks and the
// real clipboard; message boxes answered by the watchdog. Settings go to a
// temporary folder.

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include "review/review_model.h"
#include "review/review_window.h"
#include "review/xlsx_export.h"
#include "tests/support/gui_test.h"
#include "tests/support/review_files.h"
#include "tests/support/review_fixture.h"

namespace kelmory {
namespace {

using namespace testing;

const QString kGolden = QStringLiteral(KELMORY_GOLDEN_DIR);
const QStringList kAdded = {"sd",   "method",          "critical_value", "df",     "sd_z",
                            "sd_t", "z_t_gap_percent", "warning",        "refusal"};
const QString kBelow60 =
    "n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; see sd_t";

class ReviewTest : public testing::ReviewWindowTest {
 protected:
  void Trigger(const char* action) {
    auto* bar = Find<QToolBar>(window_, "toolBar");
    QTest::mouseClick(bar->widgetForAction(Find<QAction>(window_, action)), Qt::LeftButton);
  }
  QStringList Row(int row) const {
    QStringList cells;
    for (int c = 0; c < model_->columnCount(); ++c)
      cells << model_->index(row, c).data().toString();
    return cells;
  }
  // The results of a row: sd to refusal.
  QStringList Results(int row) const { return Row(row).mid(Column("sd")); }
  QString Status() const { return Find<QLabel>(window_, "summaryLabel")->text(); }
  // Exports the table to `name`; its cells hold each of `expected` (as WorkbookCells lines).
  void ExpectWorkbookHolds(const QString& name, const QStringList& expected) {
    const auto& model = *window_->findChild<review::ReviewModel*>();
    ASSERT_EQ(review::ExportXlsx(model, Path(name).toStdString()), std::nullopt);
    const QStringList cells = WorkbookCells(Path(name));
    for (const QString& line : expected)
      EXPECT_TRUE(cells.contains(line)) << (line + "\nin\n" + cells.join(QChar(10))).toStdString();
  }
  QString Working() const { return Find<QPlainTextEdit>(window_, "workingText")->toPlainText(); }
};

// Two cells of results, a quoted note with a line break and a tab, a short
// row: as LibreOffice (LF) and Excel (CR LF) put a block on the clipboard.
struct Block {
  const char* name;
  QString text;
};
class PasteTest : public ReviewTest, public ::testing::WithParamInterface<Block> {};

TEST_P(PasteTest, ABlockWithAHeaderReplacesTheEmptyTable) {
  Paste(GetParam().text);
  EXPECT_EQ(Header(),
            QStringList({"Study", "N", "SE", "Lower", "Upper", "Mean", "Notes"}) + kAdded);
  EXPECT_EQ(Row(0), QStringList({"Abel 2004", "25", "2", "", "", "", "", "10", "se", "", "", "", "",
                                 "", "", ""}));
  EXPECT_EQ(Row(1),
            QStringList({"Cole 2012", "10", "", "1", "5", "3", "line one\nline\ttwo",
                         "2.79580721637993", "t", "2.26215716279821", "9", "3.22687323350023",
                         "2.79580721637993", "15.4183026138139", "", ""}));
  EXPECT_EQ(Row(2), QStringList({"Moss \"2024\"", "8", "", "", "", "", "", "", "", "", "", "", "",
                                 "", "", "no source: give se, ci, or lower and upper"}));
  EXPECT_EQ(model_->rowCount(), 4);  // and the row to type a new one into
  EXPECT_EQ(Status(), "3 rows, 0 with a warning, 1 refused");
}

INSTANTIATE_TEST_SUITE_P(
    Spreadsheets, PasteTest,
    // LibreOffice Calc's text export quotes every text cell.
    ::testing::Values(Block{"LibreOffice",
                            "\"Study\"\t\"N\"\t\"SE\"\t\"Lower\"\t\"Upper\"\t\"Mean\"\t\"Notes\"\n"
                            "\"Abel 2004\"\t25\t2\t\t\t\t\n"
                            "\"Cole 2012\"\t10\t\t1\t5\t3\t\"line one\nline\ttwo\"\n"
                            "\"Moss \"\"2024\"\"\"\t8\n"},
                      Block{"LibreOfficeClipboard",
                            "Study\tN\tSE\tLower\tUpper\tMean\tNotes\n"
                            "Abel 2004\t25\t2\t\t\t\t\n"
                            "Cole 2012\t10\t\t1\t5\t3\t\"line one\nline\ttwo\"\n"
                            "\"Moss \"\"2024\"\"\"\t8\n"},
                      Block{"Excel",
                            "Study\tN\tSE\tLower\tUpper\tMean\tNotes\r\n"
                            "Abel 2004\t25\t2\t\t\t\t\r\n"
                            "Cole 2012\t10\t\t1\t5\t3\t\"line one\nline\ttwo\"\r\n"
                            "\"Moss \"\"2024\"\"\"\t8\t\t\t\t\t\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReviewTest, CommaLocale_PastedDecimalCommasAndPointsAreNumbers) {
  ASSERT_EQ(QLocale::system().decimalPoint(), ",") << "run this test under LC_ALL=de_DE.UTF-8";
  Paste(
      "study\tn\tci\tlevel\n"
      "\"Baker,\nJ.\"\t10\t3,92\t\n"
      "Hall\t30\t1,5\t97,5\n"
      "Hall again\t30\t1.5\t97.5\n"
      "Dunn\t10\t1,2,3\t\n");
  EXPECT_EQ(Row(0), QStringList({"Baker,\nJ.", "10", "3,92", "", "5,47978214410465", "t",
                                 "2,26215716279821", "9", "6,32467153766045", "5,47978214410465",
                                 "15,4183026138139", "", ""}));
  const QStringList hall = QStringList({"30", "1,5", "97,5", "3,47562324624066", "t"}) +
                           QStringList({"2,36384607320831", "29", "3,66548958890424",
                                        "3,47562324624066", "5,46279988399052", "", ""});
  EXPECT_EQ(Row(1).mid(1), hall);
  EXPECT_EQ(Row(2).mid(1), hall);
  EXPECT_EQ(Cell(3, "refusal"), "ci is not a number: '1,2,3'");

  // A pasted table is saved with semicolons and decimal commas, as
  // kelmory-batch writes this very table.
  const QString input = Path("typed.csv");
  WriteAll(input,
           "\"study\";\"n\";\"ci\";\"level\"\n\"Baker,\nJ.\";10;3,92;\nHall;30;1,5;97,5\n"
           "Hall again;30;1,5;97,5\nDunn;10;\"1,2,3\";\n");
  ASSERT_TRUE(window_->saveFile(Path("saved.csv")));
  EXPECT_EQ(ReadAll(Path("saved.csv")), BatchOutput({input}));

  // A spreadsheet reads the workbook's numbers as numbers, whatever the separator.
  ExpectWorkbookHolds("saved.xlsx", {"1 B2 number '10' ", "1 C2 number '3.92' ",
                                     "1 D3 number '97.5' ", "1 E2 number '5.479782144104653' "});
}

TEST_F(ReviewTest, CommaLocale_WarningsAndTypedCellsTakeTheUsersSeparator) {
  ASSERT_EQ(QLocale::system().decimalPoint(), ",");
  Paste("study\tn\tlower\tupper\tmean\nDunn\t10\t1\t5\t1\n");
  EXPECT_EQ(Cell(0, "warning"),
            "asymmetric interval: its halves differ by 100,0% of its width; it may have been "
            "computed on a log scale");
  TypeInto(0, "mean", "1,5");
  EXPECT_EQ(Cell(0, "mean"), "1,5");
  EXPECT_EQ(Cell(0, "warning"),
            "asymmetric interval: its halves differ by 75,0% of its width; it may have been "
            "computed on a log scale");
}

TEST_F(ReviewTest, EditsRecomputeAndUndoRedoEveryStep) {
  EXPECT_EQ(Status(), "0 rows, 0 with a warning, 0 refused");
  Paste("study\tn\tse\nAbel\t25\t2\n");
  EXPECT_EQ(Status(), "1 row, 0 with a warning, 0 refused");
  TypeInto(0, "se", "4");
  EXPECT_EQ(Cell(0, "sd"), "20");
  EXPECT_TRUE(window_->isWindowModified());
  TypeInto(0, "se", "4");  // the same value again: no step to undo
  // A row typed into the last line is added.
  TypeInto(1, "n", "16");
  EXPECT_EQ(Cell(1, "refusal"), "no source: give se, ci, or lower and upper");
  TypeInto(1, "se", "0.5");
  EXPECT_EQ(Cell(1, "sd"), "2");
  EXPECT_EQ(Status(), "2 rows, 0 with a warning, 0 refused");
  QAction* undo = Find<QAction>(window_, "actionUndo");
  QAction* redo = Find<QAction>(window_, "actionRedo");
  EXPECT_EQ(undo->text(), "&Undo Edit Cell");
  EXPECT_EQ(redo->text(), "&Redo");

  table_->setFocus();
  // Back over se 0.5, the added row, se 4 and the paste.
  for (const QString sd : {"20", "20", "10", ""}) {
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Cell(0, "sd"), sd);
  }
  EXPECT_EQ(model_->rowCount(), 1);  // before the paste: an empty table
  EXPECT_EQ(undo->text(), "&Undo");
  EXPECT_EQ(redo->text(), "&Redo Paste");
  EXPECT_EQ(
      Header(),
      QStringList({"study", "n", "se", "ci", "lower", "upper", "mean", "level", "z"}) + kAdded);
  for (int i = 0; i < 4; ++i) Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Results(1), QStringList({"2", "se", "", "", "", "", "", "", ""}));
  EXPECT_EQ(Cell(0, "sd"), "20");

  // Insert and delete rows, each one step.
  ClickCell(0, "n");
  Key(Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(Cell(1, "study"), "Abel");
  EXPECT_EQ(Row(0), QStringList(12, ""));  // an empty row is passed over, not refused
  EXPECT_EQ(Status(), "3 rows, 0 with a warning, 0 refused");
  Key(Qt::Key_Minus, Qt::ControlModifier);
  Key(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, "n"), "16");
  EXPECT_EQ(undo->text(), "&Undo Delete Rows");
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, "study"), "Abel");
}

TEST_F(ReviewTest, AHeaderedPasteIntoAFilledTableMatchesColumnsByNameAndAppends) {
  Paste("study\tn\tse\nAbel\t25\t2\n");
  ClickCell(0, "study");
  Paste("SE\tN\tcountry\nbad\t4\tNorway\n1\t9\tChad\n");
  EXPECT_EQ(Header(), QStringList({"study", "n", "se", "country"}) + kAdded);
  EXPECT_EQ(Row(1), QStringList({"", "4", "bad", "Norway", "", "", "", "", "", "", "", "",
                                 "se is not a number: 'bad'"}));
  EXPECT_EQ(Row(2), QStringList({"", "9", "1", "Chad", "3", "se", "", "", "", "", "", "", ""}));
  // One step takes the whole paste back, the added column too.
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Header(), QStringList({"study", "n", "se"}) + kAdded);
  EXPECT_EQ(model_->rowCount(), 2);

  // Without a header, from the current cell on, rows added as needed.
  ClickCell(0, "se");
  Paste("3\n4\n");
  EXPECT_EQ(Row(0), QStringList({"Abel", "25", "3", "15", "se", "", "", "", "", "", "", ""}));
  EXPECT_EQ(Row(1), QStringList({"", "", "4", "", "", "", "", "", "", "", "", "n is empty"}));
}

TEST_F(ReviewTest, ALongPasteShowsProgressAndCancelLeavesTheTable) {
  Paste("study\tn\tse\nAbel\t25\t2\n");
  std::string block;
  for (int i = 0; i < 30000; ++i) block += "\t" + std::to_string(i + 2) + "\t1\n";
  window_->setProperty("progressAfterMs", 0);
  bool shown = false;
  testing::WhenModalShows([&](QWidget* modal) { shown = modal->inherits("QProgressDialog"); });
  ClickCell(1, "study");
  Paste(QString::fromStdString(block));
  EXPECT_TRUE(shown);
  testing::Activate(window_);  // offscreen, the closed dialog leaves no window active
  EXPECT_EQ(model_->rowCount(), 2);
  EXPECT_EQ(Row(0).first(4), QStringList({"Abel", "25", "2", "10"}));

  // Bytes that are no text at all: cells like any other, at once.
  QString binary;
  for (int i = 0; i < 4096; ++i) binary += QChar((i * 7919) % 256);
  window_->setProperty("progressAfterMs", QVariant());
  Paste(binary);
  EXPECT_GT(model_->rowCount(), 2);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(model_->rowCount(), 2);
}

TEST_F(ReviewTest, CopyGivesTabTextThatPastesBack) {
  Paste("study\tn\tse\n\"Abel\t2004\"\t25\t2\nBaker\t4\t1\n");
  // Two whole rows, dragged over on the row headers: with the header line.
  auto* rows = table_->verticalHeader();
  const auto on_row = [rows](int row) {
    return QPoint(rows->width() / 2, rows->sectionViewportPosition(row) + 3);
  };
  QTest::mousePress(rows->viewport(), Qt::LeftButton, {}, on_row(0));
  QTest::mouseMove(rows->viewport(), on_row(1));
  QTest::mouseRelease(rows->viewport(), Qt::LeftButton, {}, on_row(1));
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            "study\tn\tse\tsd\tmethod\tcritical_value\tdf\tsd_z\tsd_t\tz_t_gap_percent\twarning\t"
            "refusal\n"
            "\"Abel\t2004\"\t25\t2\t10\tse\t\t\t\t\t\t\t\n"
            "Baker\t4\t1\t2\tse\t\t\t\t\t\t\t\n");
  // A block of cells: no header.
  ClickCell(0, "se");
  QTest::keyClick(table_, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(table_, Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "2\t10\n1\t2\n");

  // The whole rows pasted into a new table: the results are made again.
  Find<QAction>(window_, "actionNew")->trigger();
  EXPECT_EQ(Messages().size(), 1u);  // the unsaved-changes question, cancelled
  EXPECT_EQ(Cell(0, "study"), "Abel\t2004");
  AnswerNextBox("Discard");
  Find<QAction>(window_, "actionNew")->trigger();
  EXPECT_EQ(Messages().size(), 1u);
  testing::Activate(window_);
  // An sd the earlier result filled (its method says se) is made again.
  Paste(
      "study\tn\tse\tsd\tmethod\tcritical_value\tdf\tsd_z\tsd_t\tz_t_gap_percent\twarning\t"
      "refusal\n\"Abel\t2004\"\t25\t2\t999\tse\t\t\t\t\t\t\t\n");
  EXPECT_EQ(Header(), QStringList({"study", "n", "se"}) + kAdded);
  EXPECT_EQ(Row(0), QStringList({"Abel\t2004", "25", "2", "10", "se", "", "", "", "", "", "", ""}));
}

TEST_F(ReviewTest, MethodAndLevelRecomputeEveryRowAndAreRemembered) {
  Paste("study\tn\tlower\tupper\tmean\nCole\t10\t1\t5\t3\nAbel\t100\t1\t5\t\n");
  auto* t = Find<QRadioButton>(window_, "methodTButton");
  auto* z = Find<QRadioButton>(window_, "methodZButton");
  EXPECT_TRUE(t->isChecked());
  QTest::mouseClick(z, Qt::LeftButton);
  EXPECT_TRUE(z->isChecked() && !t->isChecked());
  EXPECT_EQ(Results(0),
            QStringList({"3.22687323350023", "z", "1.95996398454005", "9", "3.22687323350023",
                         "2.79580721637993", "15.4183026138139", kBelow60, ""}));
  EXPECT_EQ(Status(), "2 rows, 1 with a warning, 0 refused");
  EXPECT_EQ(model_->headerData(0, Qt::Vertical, Qt::AccessibleDescriptionRole).toString(),
            "Warning: " + kBelow60);
  Key(Qt::Key_T, Qt::AltModifier);  // the button's mnemonic clicks it after a moment
  EXPECT_TRUE(QTest::qWaitFor([t] { return t->isChecked(); }));
  EXPECT_EQ(Cell(0, "sd"), "2.79580721637993");

  auto* level = Find<QDoubleSpinBox>(window_, "levelBox");
  level->setFocus();
  // The box's 99.9 is taken as 99.9, not as the double nearest it
  // (critical_reference.csv: 4.78091258593113906...).
  level->selectAll();
  QTest::keyClicks(level, "99.9");
  Key(Qt::Key_Return);
  // The window shows 15 digits; the file keeps the one correctly rounded value.
  EXPECT_EQ(Cell(0, "critical_value"), "4.78091258593114");
  ASSERT_TRUE(window_->saveFile(Path("levels.csv")));
  EXPECT_TRUE(ReadAll(Path("levels.csv")).contains(",4.780912585931139,"));
  level->selectAll();
  QTest::keyClicks(level, "90");
  Key(Qt::Key_Return);
  EXPECT_EQ(Cell(0, "sd"), "3.45017222216216");
  EXPECT_EQ(Cell(0, "critical_value"), "1.83311293265624");

  // Remembered by the next window; a file opened keeps them.
  Find<QAction>(window_, "actionMethodZ")->trigger();
  EXPECT_TRUE(z->isChecked());
  delete window_;
  window_ = new ReviewWindow();
  EXPECT_TRUE(Find<QAction>(window_, "actionMethodZ")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(window_, "methodZButton")->isChecked());
  EXPECT_EQ(Find<QDoubleSpinBox>(window_, "levelBox")->value(), 90.0);
  ASSERT_TRUE(window_->openFile(kGolden + "/review.csv"));
  EXPECT_TRUE(Find<QAction>(window_, "actionMethodZ")->isChecked());
  EXPECT_EQ(Find<QDoubleSpinBox>(window_, "levelBox")->value(), 90.0);
}

TEST_F(ReviewTest, OpenThenSaveIsKelmoryBatchsOutputByteForByte) {
  ASSERT_TRUE(window_->openFile(kGolden + "/review.csv"));
  EXPECT_EQ(Results(3),  // Dunn 2015: a warning
            QStringList({"3.45017222216216", "t", "1.83311293265624", "9", "3.84505661580266",
                         "3.45017222216216", "11.4453531074178",
                         "asymmetric interval: its halves differ by 75.0% of its width; it may "
                         "have been computed on a log scale",
                         ""}));
  EXPECT_EQ(Cell(6, "refusal"), "se is not a number: '1,2,3'");
  EXPECT_EQ(Cell(13, "refusal"), "the row has 1 filled cell past the header's last column");
  EXPECT_EQ(Cell(7, "Notes"), "line one\r\nline two");
  ClickCell(3, "Study");
  EXPECT_EQ(Working(),
            "Confidence Error = (upper - lower) / 2 = (5 - 1) / 2 = 2\n\nStandard Error = "
            "Confidence Error / t-value with N-1 degrees of freedom\n\nApplying Student's t "
            "distribution (a t-value of 1.83311293265624 with 9 degrees of freedom for the entered "
            "90% confidence interval), the estimated standard error computes as (approximately): "
            "1.09104\n\nThe estimated Standard Deviation = sqrt(N) * Standard Error\n\nWhich "
            "computes to 3.16227766016838 * 1.09104025418769\n\nTherefore, the SD = "
            "3.45017222216216");
  EXPECT_EQ(window_->windowTitle(), "review.csv[*] — Kelmory Review");

  ASSERT_TRUE(window_->saveFile(Path("review.csv")));
  EXPECT_EQ(ReadAll(Path("review.csv")), ReadAll(kGolden + "/review.expected.csv"));

  // The other kinds of row, with the two columns their headers add.
  for (const QString name : {"medians", "two-groups", "subgroups", "all-kinds"}) {
    ASSERT_TRUE(window_->openFile(kGolden + "/" + name + ".csv"));
    EXPECT_EQ(Header().mid(Column("sd"), 3), QStringList({"sd", "estimated_mean", "total_n"}));
    ASSERT_TRUE(window_->saveFile(Path(name + ".csv")));
    const QByteArray saved = ReadAll(Path(name + ".csv"));
    EXPECT_EQ(saved, BatchOutput({kGolden + "/" + name + ".csv"})) << name.toStdString();
    // Two golden files were written with the working.
    if (name == "medians" || name == "subgroups")
      EXPECT_EQ(saved, ReadAll(kGolden + "/" + name + ".expected.csv")) << name.toStdString();
  }
  EXPECT_EQ(Cell(0, "study"), "Abel 2004");

  // Another dialect: semicolons, decimal commas, z.
  ASSERT_TRUE(window_->openFile(kGolden + "/review-semicolon.csv"));
  Find<QAction>(window_, "actionMethodZ")->trigger();
  EXPECT_EQ(Cell(0, "sd"), "5.00009187786161");  // this user's separator
  ASSERT_TRUE(window_->saveFile(Path("semicolon.csv")));
  EXPECT_EQ(ReadAll(Path("semicolon.csv")),
            BatchOutput({"--method", "z", kGolden + "/review-semicolon.csv"}));
}

// A two-arm sheet as meta names its columns: each arm's results follow its
// own last column, under the arm's band, and the working is told by arm.
TEST_F(ReviewTest, ArmsShowTheirResultsBesideTheirColumnsUnderTheirBand) {
  Paste(
      "study\tn.e\tse.e\tsd.e\tn.c\tsd.c\tmd\tt\n"
      "Abel 2004\t25\t2\t\t25\t3.9\t\t\n"
      "Cole 2021\t12\t\t\t15\t\t3.1\t2.4\n");
  const QStringList block = {"method", "critical_value",  "df",      "sd_z",
                             "sd_t",   "z_t_gap_percent", "warning", "refusal"};
  QStringList e, c;
  for (const QString& name : block) e << name + ".e", c << name + ".c";
  EXPECT_EQ(Header(), QStringList({"study", "n.e", "se.e", "sd.e"}) + e +
                          QStringList({"n.c", "sd.c"}) + c + QStringList({"md", "t"}));
  EXPECT_EQ(Row(0),
            QStringList({"Abel 2004", "25",  "2",        "10", "se", "", "", "", "", "", "", "",
                         "25",        "3.9", "reported", "",   "",   "", "", "", "", "", "", ""}));
  EXPECT_EQ(Row(1), QStringList({"Cole 2021",
                                 "12",
                                 "",
                                 "3.3350689925675",
                                 "two-group t statistic",
                                 "",
                                 "25",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "15",
                                 "3.3350689925675",
                                 "two-group t statistic",
                                 "",
                                 "25",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "3.1",
                                 "2.4"}));
  // One band an arm, over its inputs and its results; none elsewhere.
  const auto band = [&](const QString& column) {
    return model_->headerData(Column(column), Qt::Horizontal, review::kArmBandRole);
  };
  EXPECT_FALSE(band("study").isValid());
  EXPECT_FALSE(band("md").isValid());
  EXPECT_TRUE(band("n.e").isValid());
  EXPECT_EQ(band("n.e"), band("refusal.e"));
  EXPECT_EQ(band("n.c"), band("method.c"));
  EXPECT_NE(band("n.e"), band("n.c"));
  // The workbook holds the file's order: the sheet's columns, then each arm's.
  ExpectWorkbookHolds("arms.xlsx", {
                                       "1 I1 text 'method.e' ",
                                       "1 Q1 text 'method.c' ",
                                       "1 D2 number '10' ",
                                       "1 I2 text 'se' ",
                                       "1 Q2 text 'reported' ",
                                       "1 F3 number '3.335068992567498' ",
                                       "1 S3 number '25' ",
                                   });

  ClickCell(0, "study");
  EXPECT_EQ(Working(),
            "Arm e\nStandard Deviation = sqrt(N) * Standard Error\nWhich computes to 5 * 2\n\n"
            "Therefore, the SD = 10\n\nArm c\nThe table reports the SD: it is kept.");
  // An arm's SD typed in is reported; cleared, it is the difference's again.
  TypeInto(1, "sd.c", "4");
  EXPECT_EQ(Cell(1, "method.c"), "reported");
  EXPECT_EQ(Cell(1, "method.e"), "two-group t statistic");
  ClickCell(1, "sd.c");
  Key(Qt::Key_Delete);
  EXPECT_EQ(Cell(1, "method.c"), "two-group t statistic");
  EXPECT_EQ(Cell(1, "sd.c"), "3.3350689925675");

  // Whole rows copied, with each arm's results beside it, paste back as
  // they were: the results are made again, not carried as cells.
  const QStringList header = Header();
  const QStringList first = Row(0), second = Row(1);
  table_->setFocus();
  Key(Qt::Key_A, Qt::ControlModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  const QString copied = QApplication::clipboard()->text();
  NewWindow();
  Paste(copied);
  EXPECT_EQ(Header(), header);
  EXPECT_EQ(Row(0), first);
  EXPECT_EQ(Row(1), second);

  NewWindow();
  ASSERT_TRUE(window_->openFile(kGolden + "/arms-meta.csv"));
  ASSERT_TRUE(window_->saveFile(Path("arms-meta.csv")));
  EXPECT_EQ(ReadAll(Path("arms-meta.csv")), BatchOutput({kGolden + "/arms-meta.csv"}));
}

TEST_F(ReviewTest, EveryDialectTheBatchReadsSavesAsItWritesIt) {
  QByteArray utf16("\xFF\xFE", 2);
  for (const QChar c : QString("study,n,se\r\n\u00C4bel,4,1\r\n")) {
    utf16.append(static_cast<char>(c.unicode() & 0xFF));
    utf16.append(static_cast<char>(c.unicode() >> 8));
  }
  const QByteArray files[] = {
      "sep=;\rstudy;n;se\rAbel;4;1,5\r\"Baker\r2\";9;2\r",
      utf16,
      "study,n,se\n,,\nAbel,4,1,,past\n\"Cole\",16,\"0.5\"\n\nDunn,1\n",
      "\xEF\xBB\xBFstudy\tn\tci\tlevel\nAbel\t10\t3.92\t90%\n",
  };
  for (const QByteArray& file : files) {
    WriteAll(Path("in.csv"), file);
    ASSERT_TRUE(window_->openFile(Path("in.csv"))) << file.toStdString();
    ASSERT_TRUE(window_->saveFile(Path("out.csv")));
    EXPECT_EQ(ReadAll(Path("out.csv")), BatchOutput({Path("in.csv")})) << file.toStdString();
  }
  // The last file: its own level, 90%: sqrt(10) * (3.92 / 1.8331129326562372).
  EXPECT_EQ(Cell(0, "sd"), "6.76233755543783");
}

TEST_F(ReviewTest, UnsavedChangesAskBeforeTheyAreLost) {
  Paste("study\tn\tse\nAbel\t25\t2\n");
  EXPECT_EQ(window_->windowTitle(), "Untitled[*] — Kelmory Review");
  EXPECT_TRUE(window_->isWindowModified());
  // Closed without an answer: Cancel.
  EXPECT_FALSE(window_->openFile(kGolden + "/review.csv"));
  EXPECT_EQ(Messages(), QStringList({"The table has changes that are not saved."}));
  EXPECT_EQ(Cell(0, "study"), "Abel");
  EXPECT_FALSE(window_->close());
  EXPECT_EQ(Messages().size(), 1u);

  bool enter_saves = false;
  MessageBoxes::OnShow([&enter_saves](const auto&) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    enter_saves = box->defaultButton() == box->button(QMessageBox::Save);
    box->button(QMessageBox::Discard)->click();
  });
  EXPECT_TRUE(window_->openFile(kGolden + "/review.csv"));
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(enter_saves) << "Enter must not throw the changes away";
  EXPECT_EQ(Cell(0, "Study"), "Abel 2004");
  EXPECT_FALSE(window_->isWindowModified());
  // Typing a cell's own value again changes nothing.
  testing::Activate(window_);
  TypeInto(0, "N", Cell(0, "N"));
  EXPECT_FALSE(window_->isWindowModified());
  EXPECT_FALSE(Find<QAction>(window_, "actionUndo")->isEnabled());
}

TEST_F(ReviewTest, ABrokenFileLeavesTheTableAsItWas) {
  Paste("study\tn\tse\nAbel\t25\t2\n");
  ASSERT_TRUE(window_->saveFile(Path("kept.csv")));
  const QStringList before = Row(0);
  WriteAll(Path("broken.csv"), "n,se\n4,\"1\n5,2\n");
  WriteAll(Path("binary.csv"), QByteArray("n,se\n4,\0\x01\x02", 10));
  WriteAll(Path("nameless.csv"), "study,se\nAbel,2\n");
  QDir(dir_.path()).mkdir("folder");
  const struct {
    QString file, why;
  } cases[] = {
      {"broken.csv", "line 2: broken CSV: a quoted cell is not closed before the end of the input"},
      {"binary.csv", "the input is not a text file: it holds NUL bytes"},
      {"nameless.csv", "line 1: the header has no column named 'n'"},
      {"missing.csv", "No such file or directory"},
      {"folder", "it is a folder"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(window_->openFile(Path(c.file))) << c.file.toStdString();
    EXPECT_EQ(Messages(), QStringList("Cannot open “" + Path(c.file) + "”: " + c.why));
    EXPECT_EQ(Row(0), before);
    EXPECT_EQ(window_->windowTitle(), "kept.csv[*] — Kelmory Review");
  }
}

TEST_F(ReviewTest, SaveGoesThroughLinksAndNeverHalfWrites) {
  Paste("study\tn\tse\nAbel\t25\t2\n");
  WriteAll(Path("target.csv"), "old");
  QFile::setPermissions(Path("target.csv"), QFile::ReadOwner | QFile::WriteOwner);
  ASSERT_TRUE(QFile::link(Path("target.csv"), Path("link.csv")));
  ASSERT_TRUE(window_->saveFile(Path("link.csv")));
  EXPECT_EQ(ReadAll(Path("target.csv")), kAbelSaved);
  EXPECT_TRUE(QFileInfo(Path("link.csv")).isSymLink());
  EXPECT_EQ(QFile::permissions(Path("target.csv")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

  WriteAll(Path("readonly.csv"), "old");
  QFile::setPermissions(Path("readonly.csv"), QFile::ReadOwner);
  if (::geteuid() != 0) {  // root may write anyway
    EXPECT_FALSE(window_->saveFile(Path("readonly.csv")));
    EXPECT_EQ(Messages(), QStringList("'" + Path("readonly.csv") + "' is read-only"));
    EXPECT_EQ(ReadAll(Path("readonly.csv")), "old");
  }
  EXPECT_FALSE(window_->saveFile(Path("none/out.csv")));
  EXPECT_EQ(Messages(),
            QStringList("Cannot write '" + Path("none/out.csv") + "': No such file or directory"));
  // No temporary file left behind.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList({"link.csv", "readonly.csv", "target.csv"}));
}

TEST_F(ReviewTest, EveryPartHasAnAccessibleName) {
  const struct {
    const char* object;
    QString name;
  } named[] = {
      {"studyTable", "Studies"},
      {"workingText", "Working of the current row"},
      {"levelBox", "Default level"},
  };
  for (const auto& n : named) {
    QAccessibleInterface* face =
        QAccessible::queryAccessibleInterface(Find<QWidget>(window_, n.object));
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->text(QAccessible::Name), n.name) << n.object;
  }
  auto* bar = Find<QToolBar>(window_, "toolBar");
  for (QAction* action : bar->actions()) {
    if (action->isSeparator()) continue;
    QAccessibleInterface* face =
        QAccessible::queryAccessibleInterface(bar->widgetForAction(action));
    EXPECT_FALSE(face->text(QAccessible::Name).isEmpty()) << action->objectName().toStdString();
  }
}

TEST_F(ReviewTest, TheWorkbookHoldsNumbersShadingAndTheWorking) {
  Paste(
      "study\tn\tse\tci\tlower\tupper\tmean\nAbel\t25\t2\t\t\t\t\nDunn\t10\t\t\t1\t5\t1.5\n"
      "Ford\t1\t\t2\t\t\t\n");
  ExpectWorkbookHolds(
      "review.xlsx",
      {
          "1 H2 number '10' ",  // Abel's sd
          "1 B3 number '10' ",  // Dunn's n
          "1 H3 number '2.795807216379925' ",
          "1 O3 text 'asymmetric interval: its halves differ by 75.0% of its widt FFFFE79C",
          "1 P4 text 'n is 1: a single observation has no standard deviation' FFF7C4C4",
          "2 C2 text 'Standard Deviation = sqrt(N) * Standard Error\\nWhich comput ",
      });
}

// Results, warnings and refusals each read as their own kind of cell, in a
// light scheme and a dark one.
TEST_F(ReviewTest, ShadingTellsResultsWarningsAndRefusalsApartInBothSchemes) {
  Paste("study\tn\tse\tlower\tupper\tmean\nAbel\t25\t2\nDunn\t10\t\t1\t5\t1\nFord\t1\n");
  const auto colour = [this](int row, const QString& column, int role) {
    return model_->index(row, Column(column)).data(role).value<QColor>();
  };
  const QPalette light = QApplication::palette();
  const QPalette dark(Qt::white, QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50),
                      QColor(0x20, 0x20, 0x20), QColor(0x2a, 0x2a, 0x2a), Qt::white, Qt::white,
                      QColor(0x2a, 0x2a, 0x2a), QColor(0x35, 0x35, 0x35));
  for (const QPalette& scheme : {light, dark}) {
    QApplication::setPalette(scheme);
    const bool is_dark = &scheme == &dark;
    const QColor result = colour(0, "sd", Qt::BackgroundRole);
    const QColor warning = colour(1, "warning", Qt::BackgroundRole);
    const QColor refusal = colour(2, "refusal", Qt::BackgroundRole);
    EXPECT_TRUE(result.isValid() && warning.isValid() && refusal.isValid()) << is_dark;
    EXPECT_NE(result, scheme.color(QPalette::Base)) << is_dark;
    EXPECT_FALSE(colour(0, "se", Qt::BackgroundRole).isValid()) << "inputs are not shaded";
    EXPECT_NEAR(warning.hslHue(), 45, 15) << "yellow " << is_dark;
    EXPECT_TRUE(refusal.hslHue() < 10 || refusal.hslHue() > 350) << "red " << is_dark;
    // Every shaded cell's text reads on its shade.
    for (const auto& [row, column] : {std::pair{0, "sd"}, {1, "warning"}, {2, "refusal"}}) {
      EXPECT_GE(testing::Contrast(colour(row, column, Qt::ForegroundRole),
                                  colour(row, column, Qt::BackgroundRole)),
                4.5)
          << column << " " << is_dark;
    }
  }
  QApplication::setPalette(light);
  // The light shades are the workbook's.
  EXPECT_EQ(colour(1, "warning", Qt::BackgroundRole), QColor(0xFF, 0xE7, 0x9C));
  EXPECT_EQ(colour(2, "refusal", Qt::BackgroundRole), QColor(0xF7, 0xC4, 0xC4));
}

// Each arm's band stands out from the header and its names read on their
// tint, in a light scheme and a dark one.
TEST_F(ReviewTest, ArmBandsStandOutAndTheirNamesReadInBothSchemes) {
  Paste("study\tn.e\tse.e\tn.c\tse.c\nAbel\t25\t2\t25\t3\n");
  const auto header = [this](const QString& column, int role) {
    return model_->headerData(Column(column), Qt::Horizontal, role).value<QColor>();
  };
  const QPalette light = QApplication::palette();
  const QPalette dark(Qt::white, QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50),
                      QColor(0x20, 0x20, 0x20), QColor(0x2a, 0x2a, 0x2a), Qt::white, Qt::white,
                      QColor(0x2a, 0x2a, 0x2a), QColor(0x35, 0x35, 0x35));
  for (const QPalette& scheme : {light, dark}) {
    QApplication::setPalette(scheme);
    const bool is_dark = &scheme == &dark;
    for (const QString column : {"n.e", "method.e", "n.c", "refusal.c"}) {
      EXPECT_GE(
          testing::Contrast(header(column, Qt::ForegroundRole), header(column, Qt::BackgroundRole)),
          4.5)
          << column.toStdString() << " " << is_dark;
      EXPECT_GE(
          testing::Contrast(header(column, review::kArmBandRole), scheme.color(QPalette::Button)),
          3)
          << column.toStdString() << " " << is_dark;
    }
    EXPECT_NE(header("n.e", review::kArmBandRole), header("n.c", review::kArmBandRole));
  }
  QApplication::setPalette(light);
}

TEST_F(ReviewTest, RecentFilesSizeAndDroppedFilesAreKept) {
  auto* recent = Find<QMenu>(window_, "menuRecent");
  const auto shown = [recent] {
    recent->popup({0, 0});
    QStringList names;
    for (const QAction* action : recent->actions()) names << action->text();
    recent->hide();
    return names;
  };
  QStringList opened;
  for (int i = 1; i <= 9; ++i) {
    const QString name = QString("study%1.csv").arg(i);
    WriteAll(Path(name), QString("study,n,se\nS%1,4,%1\n").arg(i).toUtf8());
    ASSERT_TRUE(window_->openFile(Path(name)));
    opened.prepend(name);
  }
  // The newest eight, newest first, each with its folder; one opened again
  // moves to the top.
  for (QString& name : opened) name += " — " + dir_.path();
  EXPECT_EQ(shown(), opened.first(8));
  ASSERT_TRUE(window_->openFile(Path("study5.csv")));
  EXPECT_EQ(shown().join(",").remove(" — " + dir_.path()),
            "study5.csv,study9.csv,study8.csv,study7.csv,study6.csv,study4.csv,study3.csv,"
            "study2.csv");
  recent->popup({0, 0});
  recent->actions().at(3)->trigger();
  recent->hide();
  EXPECT_EQ(window_->windowTitle(), "study7.csv[*] — Kelmory Review");
  EXPECT_EQ(Cell(0, "se"), "7");

  // A file dropped on the window opens.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Path("study3.csv"))});
  QDragEnterEvent enter({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_, &drop);
  EXPECT_EQ(Cell(0, "study"), "S3");
  data.setUrls({QUrl("https://example.org/review.csv")});
  QDragEnterEvent remote({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  remote.setAccepted(false);
  QApplication::sendEvent(window_, &remote);
  EXPECT_FALSE(remote.isAccepted());

  // Size and column widths come back with the next window.
  window_->resize(700, 500);
  table_->horizontalHeader()->resizeSection(1, 170);
  ASSERT_TRUE(window_->close());
  NewWindow();
  EXPECT_EQ(window_->size(), QSize(700, 500));
  EXPECT_EQ(Find<QTableView>(window_, "studyTable")->horizontalHeader()->sectionSize(1), 170);
}

// At every scale, each label and column title shows whole.
TEST_F(ReviewTest, NothingIsClipped) {
  ASSERT_TRUE(window_->openFile(kGolden + "/all-kinds.csv"));
  for (const char* name : {"levelLabel", "methodLabel", "workingLabel"}) {
    const auto* label = Find<QLabel>(window_, name);
    EXPECT_GE(label->width(), label->sizeHint().width()) << name;
    EXPECT_GE(label->height(), label->sizeHint().height()) << name;
  }
  const QHeaderView* header = table_->horizontalHeader();
  for (int c = 0; c < model_->columnCount(); ++c) {
    const QString title = model_->headerData(c, Qt::Horizontal).toString();
    EXPECT_GT(header->sectionSize(c), header->fontMetrics().horizontalAdvance(title))
        << title.toStdString();
  }
  auto* bar = Find<QToolBar>(window_, "toolBar");
  for (QAction* action : bar->actions()) {
    if (action->isSeparator()) continue;
    const QWidget* button = bar->widgetForAction(action);
    EXPECT_TRUE(button->isVisible()) << action->objectName().toStdString();
    EXPECT_GE(button->width(), button->sizeHint().width()) << action->objectName().toStdString();
  }
}

// The tests below run in the point and in the comma locale: typed numbers
// take the user's separator.
QString Decimal(const char* text) {
  return QString::fromLatin1(text).replace('.', QLocale::system().decimalPoint());
}

TEST_F(ReviewTest, BothLocales_TheLevelIsAPercentageNeverAProportion) {
  Paste("study\tn\tci\nCole\t10\t2\n");
  const QString sd = Cell(0, "sd");
  auto* level = Find<QDoubleSpinBox>(window_, "levelBox");
  QTest::mouseClick(level, Qt::LeftButton);
  level->selectAll();
  QTest::keyClicks(level, Decimal("0.95"));
  Key(Qt::Key_Return);
  EXPECT_EQ(Messages(), QStringList("The default level is " + Decimal("0.95") +
                                    " %: give it as a percentage, such as 95."));
  EXPECT_EQ(level->value(), 95.0);
  EXPECT_EQ(Cell(0, "sd"), sd);
  // The arrows stop at 1 %.
  testing::Activate(window_);
  level->setFocus();
  level->selectAll();
  QTest::keyClicks(level, "2");
  Key(Qt::Key_Return);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  EXPECT_EQ(level->value(), 1.0);
  EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(ReviewTest, BothLocales_ANewStudyTypedAcrossTheLastRowIsOneRow) {
  ClickCell(0, "study");
  Type("Hand 2020");
  Key(Qt::Key_Tab);
  Type("16");
  Key(Qt::Key_Tab);
  Type(Decimal("0.5"));
  Key(Qt::Key_Return);
  EXPECT_EQ(Row(0), QStringList({"Hand 2020", "16", Decimal("0.5"), "", "", "", "", "", "", "2",
                                 "se", "", "", "", "", "", "", ""}));
  EXPECT_EQ(model_->rowCount(), 2);
  // Enter went down, to the row for the next study.
  EXPECT_EQ(table_->currentIndex(), model_->index(1, Column("se")));
  EXPECT_EQ(Status(), "1 row, 0 with a warning, 0 refused");
  // Each cell was its own step.
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Row(0).first(3), QStringList({"Hand 2020", "16", ""}));
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(model_->rowCount(), 1);
}

TEST_F(ReviewTest, BothLocales_KeysGoToTheTableAndSettingsAreUndone) {
  EXPECT_EQ(QApplication::focusWidget(), table_);
  QApplication::clipboard()->setText("study\tn\tci\nCole\t10\t2\n");
  Key(Qt::Key_V, Qt::ControlModifier);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  EXPECT_EQ(Find<QDoubleSpinBox>(window_, "levelBox")->value(), 95.0);
  const QString t_sd = Decimal("2.79580721637993");  // sqrt(10) * 2 / t(0.975, 9)
  const QString z_sd = Decimal("3.22687323350023");  // sqrt(10) * 2 / z(0.975)
  EXPECT_EQ(Cell(0, "sd"), t_sd);

  auto* z = Find<QRadioButton>(window_, "methodZButton");
  QTest::mouseClick(z, Qt::LeftButton);
  EXPECT_EQ(Cell(0, "sd"), z_sd);
  table_->setFocus();
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, "sd"), t_sd);
  EXPECT_TRUE(Find<QRadioButton>(window_, "methodTButton")->isChecked());
  Key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, "sd"), z_sd);
  EXPECT_TRUE(z->isChecked() && Find<QAction>(window_, "actionMethodZ")->isChecked());

  auto* level = Find<QDoubleSpinBox>(window_, "levelBox");
  QTest::mouseClick(level, Qt::LeftButton);
  level->selectAll();
  QTest::keyClicks(level, "90");
  Key(Qt::Key_Return);
  EXPECT_EQ(Cell(0, "critical_value"), Decimal("1.64485362695147"));
  table_->setFocus();
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(level->value(), 95.0);
  EXPECT_EQ(Cell(0, "critical_value"), Decimal("1.95996398454005"));
  // Back to the paste, then the empty table.
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(model_->rowCount(), 1);
}

TEST_F(ReviewTest, BothLocales_DeleteCutAndEnterWorkAsInASpreadsheet) {
  Paste("study\tn\tse\nAbel\t25\t2\nBaker\t4\t1\n");
  ClickCell(0, "se");
  QTest::keyClick(table_, Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Row(0).first(4), QStringList({"Abel", "25", "", ""}));
  EXPECT_EQ(Row(1).first(4), QStringList({"Baker", "4", "", ""}));
  Key(Qt::Key_Z, Qt::ControlModifier);  // one step for both
  EXPECT_EQ(Row(0).first(4), QStringList({"Abel", "25", "2", "10"}));
  EXPECT_EQ(Row(1).first(4), QStringList({"Baker", "4", "1", "2"}));
  // Cut: the cells go to the clipboard and leave the table.
  ClickCell(1, "study");
  QTest::keyClick(table_, Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "Baker\t4\n");
  EXPECT_EQ(Row(1).first(3), QStringList({"", "", "1"}));
  // Result cells are not the user's to clear, nor are cells cleared from
  // the working text.
  ClickCell(0, "sd");
  Key(Qt::Key_Delete);
  EXPECT_EQ(Cell(0, "sd"), "10");
  ClickCell(0, "se");
  Find<QPlainTextEdit>(window_, "workingText")->setFocus();
  Key(Qt::Key_Delete);
  EXPECT_EQ(Cell(0, "se"), "2");
  // Enter moves down, without an edit and after one.
  ClickCell(0, "n");
  Key(Qt::Key_Return);
  EXPECT_EQ(table_->currentIndex(), model_->index(1, Column("n")));
  TypeInto(0, "n", "16");
  EXPECT_EQ(table_->currentIndex(), model_->index(1, Column("n")));
  EXPECT_EQ(Cell(0, "sd"), "8");
  EXPECT_EQ(Find<QAction>(window_, "actionSaveAs")->shortcut(),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
}

TEST_F(ReviewTest, BothLocales_NumbersShowFifteenDigitsAndFilesKeepEveryDigit) {
  Paste("study\tn\tse\tlower\tupper\nCole\t10\t\t1\t5\n");
  // t(0.975, 9) = 2.2621571627982053 to the last digit, shown to 15.
  EXPECT_EQ(Cell(0, "critical_value"), Decimal("2.26215716279821"));
  ClickCell(0, "critical_value");
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), Decimal("2.26215716279821") + "\n");
  ASSERT_TRUE(window_->saveFile(Path("cole.csv")));
  EXPECT_TRUE(ReadAll(Path("cole.csv")).contains(Decimal("2.2621571627982053").toUtf8()));
  ExpectWorkbookHolds("cole.xlsx",
                      {"1 H2 number '2.2621571627982053' ", "1 J2 number '3.2268732335002297' ",
                       "1 L2 number '15.418302613813939' "});
  // Luo's mean of a median row, 5.851999999999999 to the last digit.
  Paste("study\tn\tmedian\tq1\tq3\nDale\t30\t3\t2\t12\n");
  EXPECT_EQ(Cell(1, "estimated_mean"), Decimal("5.852"));
}

TEST_F(ReviewTest, BothLocales_AnExtractionSheetIsAskedOnceBeforeItTakesTheResults) {
  const QByteArray sheet = "study,n,se\nAbel,25,2\n";
  WriteAll(Path("sheet.csv"), sheet);
  ASSERT_TRUE(window_->openFile(Path("sheet.csv")));
  // Nothing changed: Save writes nothing and asks nothing.
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadAll(Path("sheet.csv")), sheet);
  TypeInto(0, "se", "4");
  // Closed without an answer: nothing written.
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Messages(), QStringList("“sheet.csv” holds only your own columns."));
  EXPECT_EQ(ReadAll(Path("sheet.csv")), sheet);
  testing::Activate(window_);
  AnswerNextBox("Add to This File");
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_EQ(ReadAll(Path("sheet.csv")),
            "study,n,se,sd,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal,"
            "working\nAbel,25,4,20,se,,,,,,,,\"Standard Deviation = sqrt(N) * Standard "
            "Error\r\nWhich computes to 5 * 4\r\n\r\nTherefore, the SD = 20\"\n");
  EXPECT_FALSE(window_->isWindowModified());
  // Asked once: the next Save just saves.
  testing::Activate(window_);
  TypeInto(0, "se", "1");
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(Messages().isEmpty());
  EXPECT_TRUE(ReadAll(Path("sheet.csv")).contains("Abel,25,1,5,se"));

  // "Save a Copy" is kept as well: each Save of that file asks for a name.
  WriteAll(Path("other.csv"), sheet);
  ASSERT_TRUE(window_->openFile(Path("other.csv")));
  TypeInto(0, "se", "4");
  AnswerNextBox("Save a Copy…");
  int dialogs = 0;
  const auto cancel = [&dialogs](QWidget* modal) { dialogs += modal->inherits("QFileDialog"); };
  testing::WhenModalShows(cancel);
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Messages().size(), 1u);
  testing::Activate(window_);
  testing::WhenModalShows(cancel);
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(Messages().isEmpty());
  EXPECT_EQ(dialogs, 2);
  EXPECT_EQ(ReadAll(Path("other.csv")), sheet);
}

TEST_F(ReviewTest, BothLocales_TheFilesSeparatorsAreShownAndCanBeChosenAgain) {
  // German spreadsheets write decimal commas into comma-separated files: a
  // cell that reads only one way tells the reader which.
  WriteAll(Path("german.csv"), "study,n,se\nAbel,4,\"1,5\"\n");
  ASSERT_TRUE(window_->openFile(Path("german.csv")));
  auto* separators = Find<QLabel>(window_, "separatorsLabel");
  EXPECT_EQ(separators->text(), "comma-separated, decimal comma, UTF-8");
  EXPECT_EQ(Row(0).first(5), QStringList({"Abel", "4", Decimal("1.5"), "3", "se"}));
  // Chosen again, as a spreadsheet's text import does: the point refuses 1,5.
  const auto reopen_with = [&](Qt::Key key) {
    testing::WhenModalShows([key](QWidget* modal) {
      auto* decimal = Find<QComboBox>(modal, "decimalBox");
      decimal->setFocus();
      QTest::keyClick(decimal, key);
      Find<QDialogButtonBox>(modal, "reopenButtons")->button(QDialogButtonBox::Ok)->click();
    });
    Find<QAction>(window_, "actionReopen")->trigger();
    testing::Activate(window_);
  };
  reopen_with(Qt::Key_Up);
  EXPECT_EQ(separators->text(), "comma-separated, decimal point, UTF-8");
  EXPECT_EQ(Cell(0, "sd"), "");
  reopen_with(Qt::Key_Down);
  EXPECT_EQ(Row(0).first(5), QStringList({"Abel", "4", Decimal("1.5"), "3", "se"}));
  EXPECT_EQ(separators->text(), "comma-separated, decimal comma, UTF-8");
  // Saved as read: commas between cells, the decimal comma quoted.
  TypeInto(0, "n", "16");
  ASSERT_TRUE(window_->saveFile(Path("german.csv")));
  EXPECT_TRUE(ReadAll(Path("german.csv")).startsWith("study,n,se,sd,method"));
  EXPECT_TRUE(ReadAll(Path("german.csv")).contains("Abel,16,\"1,5\",6,se"))
      << ReadAll(Path("german.csv")).toStdString();
  // The summary stays through a menu's hint.
  Find<QAction>(window_, "actionSave")->showStatusText(window_);
  EXPECT_TRUE(Find<QLabel>(window_, "summaryLabel")->isVisible());
  EXPECT_EQ(Status(), "1 row, 0 with a warning, 0 refused");
}

TEST_F(ReviewTest, BothLocales_DroppedTextIsPastedAndABigWindowFitsTheScreen) {
  QMimeData data;
  data.setText("study\tn\tse\nAbel\t25\t2\n");
  const QPoint at = table_->viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(table_->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(table_->viewport(), &drop);
  EXPECT_EQ(Row(0).first(5), QStringList({"Abel", "25", "2", "10", "se"}));

  // Kept from a larger screen or scale.
  window_->resize(4000, 3000);
  // The drop is a change: Discard lets the window close.
  AnswerNextBox("Discard");
  ASSERT_TRUE(window_->close());
  EXPECT_EQ(Messages().size(), 1u);
  NewWindow();
  const QRect room = window_->screen()->availableGeometry();
  EXPECT_TRUE(room.contains(window_->frameGeometry()))
      << window_->frameGeometry().width() << "x" << window_->frameGeometry().height();
}

TEST_F(ReviewTest, AScreenReaderHearsEachCellAndWhatIsWrongWithItsRow) {
  Paste("study\tn\tse\tlower\tupper\tmean\nDunn\t10\t\t1\t5\t1\nFord\t1\t\t\t\t\n");
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(table_);
  ASSERT_NE(face, nullptr);
  ASSERT_NE(face->tableInterface(), nullptr);
  const auto cell = [&](int row, const QString& column) {
    return face->tableInterface()->cellAt(row, Column(column));
  };
  EXPECT_EQ(cell(0, "n")->text(QAccessible::Name), "10");
  EXPECT_TRUE(cell(0, "n")->state().editable);
  EXPECT_FALSE(cell(0, "sd")->state().editable);
  EXPECT_TRUE(cell(0, "sd")->state().readOnly);
  EXPECT_EQ(
      cell(0, "n")->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name),
      "n");
  EXPECT_EQ(cell(0, "sd")->text(QAccessible::Name),
            "2.79580721637993");  // sqrt(10) * 2 / t(0.975, 9)
  EXPECT_EQ(cell(0, "sd")->text(QAccessible::Description),
            "Warning: asymmetric interval: its halves differ by 100.0% of "
            "its width; it may have been computed on a log scale");
  EXPECT_EQ(cell(1, "sd_t")->text(QAccessible::Description),
            "Refused: n is 1: a single observation has no standard deviation");
  EXPECT_EQ(cell(1, "n")->text(QAccessible::Description), "");

  // The method is one choice of two; every control has a name.
  for (const char* name : {"methodTButton", "methodZButton"}) {
    QAccessibleInterface* button =
        QAccessible::queryAccessibleInterface(Find<QWidget>(window_, name));
    EXPECT_EQ(button->role(), QAccessible::RadioButton) << name;
  }
  auto* splitter = Find<QSplitter>(window_, "splitter");
  for (int i = 1; i < splitter->count(); ++i) {
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(splitter->handle(i))
                     ->text(QAccessible::Name)
                     .isEmpty());
  }
}

TEST_F(ReviewTest, BothLocales_HelpTellsTheColumnsAndAboutTheVersionAndCitation) {
  ASSERT_TRUE(window_->openFile(kGolden + "/all-kinds.csv"));
  for (int c = 0; c < model_->columnCount(); ++c) {
    const QString name = model_->headerData(c, Qt::Horizontal).toString();
    if (name.compare("study", Qt::CaseInsensitive) == 0 || name == "Notes") continue;
    EXPECT_FALSE(model_->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty())
        << name.toStdString();
  }
  // Wide enough for the longest method names.
  const int method = Column("method");
  EXPECT_GT(table_->horizontalHeader()->sectionSize(method),
            table_->fontMetrics().horizontalAdvance("median-iqr (mean reported)"));
  // A sheet's own sd column shows its filled-in SDs whole, as a result column does.
  ASSERT_TRUE(window_->openFile(kGolden + "/extraction.csv"));
  EXPECT_GT(table_->horizontalHeader()->sectionSize(Column("sd")),
            table_->fontMetrics().horizontalAdvance("22.3606797749979"));
  Key(Qt::Key_F1);
  auto* guide = window_->findChild<QDialog*>("guideDialog");
  ASSERT_NE(guide, nullptr);
  const QString text = Find<QTextBrowser>(guide, "helpText")->toPlainText();
  for (const char* words :
       {"the sample size, a whole number", "z_t_gap_percent", "median-range", "Subgroups"})
    EXPECT_TRUE(text.contains(words)) << words;
  guide->close();
  Find<QAction>(window_, "actionAbout")->trigger();
  auto* about = window_->findChild<QDialog*>("aboutDialog");
  ASSERT_NE(about, nullptr);
  const QString credits = Find<QTextBrowser>(about, "helpText")->toPlainText();
  EXPECT_TRUE(credits.startsWith("Kelmory Review 1.0.0\n")) << credits.toStdString();
  EXPECT_TRUE(credits.contains("Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00)."));
  // Each paragraph one line, wrapped by the box.
  EXPECT_TRUE(
      credits.contains("I. Summary\nThis software is provided to you free of charge, on an "
                       "as-is basis. You may use it, and you may pass it on to other "
                       "people, as long as it stays whole and all of its credits remain "
                       "in place.\n"));
}

// One part of a workbook, as Python's zip reader gives it.
QString WorkbookPart(const QString& path, const QString& part) {
  QProcess python;
  python.start("python3", {"-c",
                           "import sys, zipfile\n"
                           "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2])"
                           ".decode())",
                           path, part});
  EXPECT_TRUE(python.waitForFinished(30000));
  return QString::fromUtf8(python.readAllStandardOutput());
}

TEST_F(ReviewTest, BothLocales_TheWorkbookHasWidthsWrappedWorkingAndLevelsAsPercentages) {
  Paste("study\tn\tci\tlevel\nCole\t10\t2\t95.00%\nDunn\t10\t2\t97.5%\n");
  ExpectWorkbookHolds("levels.xlsx", {"1 D2 number '0.95' ", "1 D3 number '0.975' "});
  const QString path = Path("levels.xlsx");
  const QString styles = WorkbookPart(path, "xl/styles.xml");
  EXPECT_TRUE(styles.contains(R"(formatCode="0.00%")")) << styles.toStdString();
  EXPECT_TRUE(styles.contains(R"(formatCode="0.0%")"));
  // Every column of the table has a width, the messages the widest.
  const QString table = WorkbookPart(path, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(table.count("<col "), 4 + kAdded.size()) << table.toStdString();
  for (const char* warning_and_refusal : {R"(<col min="12" max="12" width="60.7109375")",
                                          R"(<col min="13" max="13" width="60.7109375")"})
    EXPECT_TRUE(table.contains(warning_and_refusal)) << table.toStdString();
  // The working wraps in a wide column.
  const QString working = WorkbookPart(path, "xl/worksheets/sheet2.xml");
  EXPECT_TRUE(QRegularExpression(R"(<col min="3" max="3" width="90\.[0-9]+" style="[1-9])")
                  .match(working)
                  .hasMatch())
      << working.toStdString();
}

}  // namespace
}  // namespace kelmory
