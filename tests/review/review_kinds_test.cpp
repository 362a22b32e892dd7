// The kinds of row beyond medians and two groups in the window: pasted rows
// show their results and working text, and a golden file saves as
// kelmory-batch writes it.

#include <QPlainTextEdit>

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

}  // namespace
}  // namespace kelmory
