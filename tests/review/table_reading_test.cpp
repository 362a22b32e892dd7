// The review window reads every table as kelmory-batch reads it: a saved
// file reopens and saves to the same bytes, a study's own columns named
// like results stay, a filled-in sd is a result until typed over, grouped
// digits are refused, and a Windows-1252 file opens.

#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "review/review_model.h"
#include "review/review_window.h"
#include "review/table_file.h"
#include "review/xlsx_export.h"
#include "tests/support/gui_test.h"
#include "tests/support/review_files.h"
#include "tests/support/review_fixture.h"

namespace kelmory {
namespace {

using namespace testing;

const QString kGolden = QStringLiteral(KELMORY_GOLDEN_DIR);

class TableReadingTest : public testing::ReviewWindowTest {
 protected:
  void Clear(int row, const QString& column) {
    ClickCell(row, column);
    Key(Qt::Key_F2);
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Return);
  }
};

// Save, open, save: the same file, for every golden input.
TEST_F(TableReadingTest, ASavedTableReopensAndSavesToTheSameBytes) {
  for (const QString name : {"review", "review-semicolon", "review-utf16", "review-sep", "medians",
                             "two-groups", "subgroups", "all-kinds", "extraction", "german-calc"}) {
    SCOPED_TRACE(name.toStdString());
    ASSERT_TRUE(window_->openFile(kGolden + "/" + name + ".csv"));
    const QStringList columns = Header();
    ASSERT_TRUE(window_->saveFile(Path(name + "-1.csv")));
    ASSERT_TRUE(window_->openFile(Path(name + "-1.csv")));
    EXPECT_EQ(Header(), columns);  // the earlier results are not shown twice
    const auto read = review::LoadTable(Path(name + "-1.csv").toStdString());
    ASSERT_TRUE(std::holds_alternative<review::LoadedTable>(read));
    EXPECT_TRUE(std::get<review::LoadedTable>(read).had_results);
    ASSERT_TRUE(window_->saveFile(Path(name + "-2.csv")));
    EXPECT_EQ(ReadAll(Path(name + "-2.csv")), ReadAll(Path(name + "-1.csv")));
    EXPECT_EQ(ReadAll(Path(name + "-1.csv")), BatchOutput({kGolden + "/" + name + ".csv"}));
  }
}

TEST_F(TableReadingTest, AStudysOwnMethodAndReportedSdAreKept) {
  Paste("study\tmethod\tn\tse\tsd\nA\tRCT\t25\t2\t\nB\tcohort\t30\t\t4.1\n");
  EXPECT_EQ(Header().mid(0, 7),
            QStringList({"study", "method", "n", "se", "sd", "method_result", "critical_value"}));
  EXPECT_EQ(Cell(0, "method"), "RCT");
  EXPECT_EQ(Cell(1, "method"), "cohort");
  EXPECT_EQ(Cell(0, "sd"), "10");  // filled in from se
  EXPECT_EQ(Cell(0, "method_result"), "se");
  EXPECT_EQ(Cell(1, "sd"), "4.1");
  EXPECT_EQ(Cell(1, "method_result"), "reported");
  ASSERT_TRUE(window_->saveFile(Path("kept.csv")));
  const QByteArray saved = ReadAll(Path("kept.csv"));
  EXPECT_TRUE(saved.startsWith("study,method,n,se,sd,method_result,critical_value,"));
  EXPECT_TRUE(saved.contains("\nA,RCT,25,2,10,se,")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nB,cohort,30,,4.1,reported,")) << saved.toStdString();

  // The workbook holds the filled-in SD as a number too.
  const auto* model = qobject_cast<const review::ReviewModel*>(model_);
  ASSERT_EQ(review::ExportXlsx(*model, Path("kept.xlsx").toStdString()), std::nullopt);
  EXPECT_TRUE(WorkbookCells(Path("kept.xlsx")).contains("1 E2 number '10' "));

  // A filled-in sd is drawn as a result until it is typed over, and is
  // computed again once cleared.
  const QVariant shade = At(0, "critical_value").data(Qt::BackgroundRole);
  EXPECT_EQ(At(0, "sd").data(Qt::BackgroundRole), shade);
  EXPECT_TRUE(At(0, "sd").data(Qt::ToolTipRole).toString().contains("se"));
  EXPECT_NE(At(1, "sd").data(Qt::BackgroundRole), shade);
  TypeInto(0, "sd", "12");
  EXPECT_EQ(Cell(0, "sd"), "12");
  EXPECT_EQ(Cell(0, "method_result"), "reported");
  EXPECT_NE(At(0, "sd").data(Qt::BackgroundRole), shade);
  Clear(0, "sd");
  EXPECT_EQ(Cell(0, "sd"), "10");
  EXPECT_EQ(Cell(0, "method_result"), "se");
  EXPECT_EQ(At(0, "sd").data(Qt::BackgroundRole), shade);
}

// Calc under de_DE puts n formatted as "2.000" on the clipboard: neither
// 2 nor 2000 is taken, as kelmory-batch takes neither.
TEST_F(TableReadingTest, CommaLocaleGroupedDigitsAreRefusedNotRead) {
  Paste("study\tn\tse\nA\t2.000\t1\nB\t10\t1\n");
  EXPECT_EQ(Cell(0, "n"), "2.000");
  EXPECT_EQ(Cell(0, "sd"), "");
  EXPECT_EQ(Cell(0, "refusal"),
            "n is not a number: '2.000' (ambiguous: '.' groups digits or marks decimals; write "
            "2000 without grouping, or 2,000 for a decimal)");
  TypeInto(1, "n", "1.000");
  EXPECT_EQ(Cell(1, "n"), "1.000");
  EXPECT_TRUE(Cell(1, "refusal").startsWith("n is not a number: '1.000' (ambiguous"))
      << Cell(1, "refusal").toStdString();
  TypeInto(1, "se", "0.5");  // a plain decimal point is still read
  EXPECT_EQ(Cell(1, "se"), "0,5");
  ASSERT_TRUE(window_->saveFile(Path("grouped.csv")));
  EXPECT_TRUE(ReadAll(Path("grouped.csv")).contains("\nA;2.000;1;"))
      << ReadAll(Path("grouped.csv")).toStdString();
}

TEST_F(TableReadingTest, AWindows1252FileOpensAndSavesAsUtf8) {
  WriteAll(Path("latin1.csv"), "study,n,se\nM\xfcller \x96 2004,4,1\n");
  ASSERT_TRUE(window_->openFile(Path("latin1.csv")));
  EXPECT_EQ(Cell(0, "study"), QString::fromUtf8("Müller – 2004"));
  EXPECT_EQ(Cell(0, "sd"), "2");
  ASSERT_TRUE(window_->saveFile(Path("saved.csv")));
  EXPECT_EQ(ReadAll(Path("saved.csv")), BatchOutput({Path("latin1.csv")}));
  EXPECT_TRUE(ReadAll(Path("saved.csv")).contains("M\xc3\xbcller \xe2\x80\x93 2004"));

  const auto read = review::ParseTable("study,n,se\nM\xfcller,4,1\n");
  ASSERT_TRUE(std::holds_alternative<review::LoadedTable>(read));
  EXPECT_EQ(std::get<review::LoadedTable>(read).encoding, "Windows-1252");
  EXPECT_EQ(std::get<review::LoadedTable>(read).rows.at(0)[0], "M\xc3\xbcller");
  EXPECT_FALSE(std::get<review::LoadedTable>(read).had_results);
}

}  // namespace
}  // namespace kelmory
