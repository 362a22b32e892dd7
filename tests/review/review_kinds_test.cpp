// The kinds of row beyond medians and two groups in the window: pasted rows
// show their results and working text, and a golden file saves as
// kelmory-batch writes it.

#include <QAction>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QTest>

#include "tests/support/gui_test.h"
#include "tests/support/review_files.h"
#include "tests/support/review_fixture.h"

namespace kelmory {
namespace {

using namespace testing;

const QString kGolden = QStringLiteral(KELMORY_GOLDEN_DIR);

class KindsTest : public testing::ReviewWindowTest {
 protected:
  QString Working() const { return Find<QPlainTextEdit>(window_, "workingText")->toPlainText(); }
};

TEST_F(KindsTest, AMeanWithARangeHasItsSdAndWorking) {
  ASSERT_TRUE(window_->openFile(kGolden + "/means.csv"));
  ASSERT_TRUE(window_->saveFile(Path("means.csv")));
  EXPECT_EQ(ReadAll(Path("means.csv")), ReadAll(kGolden + "/means.expected.csv"));

  NewWindow();
  Paste("study\tn\tmean\tmin\tmax\nAbel\t20\t7\t2\t14\n");
  EXPECT_EQ(Cell(0, "sd"), "3.2115759673697");
  EXPECT_EQ(Cell(0, "method"), "mean-range");
  EXPECT_EQ(Cell(0, "estimated_mean"), "");
  ClickCell(0, "study");
  EXPECT_EQ(Working(),
            "The mean is reported: the SD needs no median.\n\n"
            "Standard Deviation (Wan et al. 2014):\n"
            "SD = (max - min) / xi\n"
            "xi = 2 * z((N - 0.375) / (N + 0.25)) = 2 * z((20 - 0.375) / (20 + 0.25)) = "
            "3.73648330972786\n"
            "with z the standard normal quantile\n"
            "Which computes to (14 - 2) / 3.73648330972786\n\n"
            "Therefore, the SD = 3.2115759673697");
}

TEST_F(KindsTest, ARatioHasItsLogAndSeInTheirOwnColumns) {
  ASSERT_TRUE(window_->openFile(kGolden + "/ratios.csv"));
  ASSERT_TRUE(window_->saveFile(Path("ratios.csv")));
  EXPECT_EQ(ReadAll(Path("ratios.csv")), ReadAll(kGolden + "/ratios.expected.csv"));

  NewWindow();
  Paste("study\tor\tlower\tupper\tp\nAbel\t0.64\t0.33\t1.22\t\nBird\t0\t\t\t0.2\n");
  const QStringList header = Header();
  EXPECT_EQ(header.mid(header.indexOf("sd")),
            QStringList({"sd", "log_ratio", "se_log_ratio", "method", "critical_value", "df",
                         "sd_z", "sd_t", "z_t_gap_percent", "warning", "refusal"}));
  EXPECT_EQ(Cell(0, "log_ratio"), "-0.446287102628419");
  EXPECT_EQ(Cell(0, "se_log_ratio"), "0.333555487136569");
  EXPECT_EQ(Cell(0, "method"), "log-ratio interval");
  EXPECT_EQ(Cell(1, "refusal"), "or is not above 0, which has no logarithm: '0'");
  ClickCell(0, "study");
  EXPECT_EQ(Working(),
            "Ratio measures on the log scale (Cochrane Handbook 6.3.2):\n"
            "ln(OR) = ln(0.64) = -0.446287102628419\n"
            "SE = (ln(upper) - ln(lower)) / (2 * z) = (ln(1.22) - ln(0.33)) / (2 * "
            "1.95996398454005) = 1.30751348326678 / 3.91992796908011 = 0.333555487136569\n"
            "with z the standard normal quantile of the 95% level\n\n"
            "Therefore, ln(OR) = -0.446287102628419, its SE = 0.333555487136569 and its variance = "
            "0.111259262998914");
}

TEST_F(KindsTest, APairedDifferenceTakesZOrTAsChosen) {
  ASSERT_TRUE(window_->openFile(kGolden + "/paired.csv"));
  Find<QAction>(window_, "actionMethodZ")->trigger();
  ASSERT_TRUE(window_->saveFile(Path("paired.csv")));
  EXPECT_EQ(ReadAll(Path("paired.csv")),
            BatchOutput({"--method", "z", "--working", kGolden + "/paired.csv"}));
  EXPECT_EQ(Cell(3, "sd"), "10.2042691384931");
  EXPECT_EQ(Cell(3, "sd_within"), "13.1736548112007");
  Find<QAction>(window_, "actionMethodT")->trigger();
  EXPECT_EQ(Cell(3, "sd"), "10.0795429572405");
  EXPECT_EQ(Cell(3, "method"), "paired t");
  ClickCell(2, "Study");
  EXPECT_EQ(Working(),
            "A paired difference: Degrees of freedom = N - 1 = 20 - 1 = 19\n\n"
            "Standard Error of the difference = 0.8\n\n"
            "The Standard Deviation of the differences = Standard Error * sqrt(N)\n"
            "sqrt(N) = sqrt(20) = 4.47213595499958\n"
            "Which computes to 0.8 * 4.47213595499958\n\n"
            "Therefore, the SD = 3.57770876399966\n\n"
            "The SD of each period (Cochrane Handbook 23.2.7):\n"
            "SD_within = SD_diff / sqrt(2 * (1 - r)) = 3.57770876399966 / sqrt(2 * (1 - 0.5)) = "
            "3.57770876399966 / 1 = 3.57770876399966");
}

TEST_F(KindsTest, AChangeFromBaselineTakesTheCorrelationChosenAndUndoesIt) {
  ASSERT_TRUE(window_->openFile(kGolden + "/change.csv"));
  EXPECT_EQ(Cell(3, "refusal"),
            "sd_baseline and sd_final are given without corr or sd_change: give one, or choose "
            "Impute a Correlation in the Method menu");
  WhenModalShows([](QWidget* modal) {
    EXPECT_EQ(modal->objectName(), "correlationDialog");
    auto* box = modal->findChild<QDoubleSpinBox*>();
    ASSERT_NE(box, nullptr);
    box->selectAll();
    QTest::keyClicks(box, "0.5");
    QTest::keyClick(box, Qt::Key_Return);
  });
  Find<QAction>(window_, "actionCorrValue")->trigger();
  Activate(window_);
  EXPECT_EQ(Cell(3, "sd"), "11.9033608699392");
  EXPECT_EQ(Cell(3, "warning"), "imputed correlation 0.5: consider a sensitivity analysis");
  EXPECT_EQ(Cell(1, "corr_estimated"), "0.71875");
  ASSERT_TRUE(window_->saveFile(Path("change.csv")));
  EXPECT_EQ(ReadAll(Path("change.csv")), ReadAll(kGolden + "/change.expected.csv"));

  // The mean of the two rows' 0.71875 and 0.798076923076923 through Fisher's z.
  Find<QAction>(window_, "actionCorrTable")->trigger();
  EXPECT_EQ(Cell(3, "sd"), "8.27894104471341");
  EXPECT_EQ(Cell(3, "warning"),
            "imputed correlation 0.761, the mean of 2 rows' correlations through Fisher's z: "
            "consider a sensitivity analysis");
  ASSERT_TRUE(window_->saveFile(Path("table.csv")));
  EXPECT_EQ(ReadAll(Path("table.csv")),
            BatchOutput({"--corr", "table", "--working", kGolden + "/change.csv"}));
  // A third correlation moves the mean of every row that takes it.
  TypeInto(0, "SD_change", "4");
  EXPECT_EQ(Cell(0, "corr_estimated"), "0.625");
  EXPECT_EQ(Cell(3, "warning"),
            "imputed correlation 0.721, the mean of 3 rows' correlations through Fisher's z: "
            "consider a sensitivity analysis");
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(3, "sd"), "11.9033608699392");
  EXPECT_TRUE(Find<QAction>(window_, "actionCorrValue")->isChecked());
}

TEST_F(KindsTest, AMedianRowShowsTheSkewedEstimateBesideTheNormalOne) {
  Paste("study\tn\tmedian\tmin\tmax\nBrook\t100\t4\t2\t9\n");
  const QStringList before = Header();
  EXPECT_EQ(Cell(0, "sd"), "1.40078973109227");
  EXPECT_EQ(before.indexOf("sd_skewed"), -1);
  Find<QAction>(window_, "actionMedianQe")->trigger();
  const QStringList header = Header();
  EXPECT_EQ(header.mid(header.indexOf("sd")),
            QStringList({"sd", "estimated_mean", "total_n", "mean_normal", "sd_normal",
                         "mean_skewed", "sd_skewed", "skewed_method", "method", "critical_value",
                         "df", "sd_z", "sd_t", "z_t_gap_percent", "warning", "refusal"}));
  // McGrath et al.'s published 1.502171 and 4.347284, from the log-normal.
  EXPECT_EQ(Cell(0, "skewed_method"), "qe log-normal");
  EXPECT_NEAR(Cell(0, "sd").toDouble(), 1.502171, 1.502171e-4);
  EXPECT_NEAR(Cell(0, "estimated_mean").toDouble(), 4.347284, 4.347284e-4);
  EXPECT_EQ(Cell(0, "sd_normal"), "1.40078973109227");
  ASSERT_TRUE(window_->saveFile(Path("qe.csv")));
  WriteAll(Path("in.csv"), "study,n,median,min,max\nBrook,100,4,2,9\n");
  EXPECT_EQ(ReadAll(Path("qe.csv")), BatchOutput({"--median", "qe", Path("in.csv")}));
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Header(), before);
  EXPECT_TRUE(Find<QAction>(window_, "actionMedianNormal")->isChecked());
  // Kept for the next start, as t and z are.
  Find<QAction>(window_, "actionMedianLogNormal")->trigger();
  NewWindow();
  EXPECT_TRUE(Find<QAction>(window_, "actionMedianLogNormal")->isChecked());
}

}  // namespace
}  // namespace kelmory
