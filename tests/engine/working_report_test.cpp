// WorkingReport on figures given directly: the two texts, which
// numbers are rounded and which are not, and the two SE sentences.

#include "engine/working_report.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/engine/test_names.h"

namespace kelmory {
namespace {

DerivationFigures SeFigures(double n, double se, double sd) {
  DerivationFigures figures;
  figures.mode = DerivationMode::StandardErrorMode;
  figures.choice = ConfidenceChoice::Conf95;
  figures.n = n;
  figures.se = se;
  figures.sd = sd;
  return figures;
}

DerivationFigures CiFigures(ConfidenceChoice choice, double n, double se, double sd, double z,
                            std::string label) {
  DerivationFigures figures;
  figures.mode = DerivationMode::ConfidenceErrorMode;
  figures.choice = choice;
  figures.n = n;
  figures.se = se;
  figures.sd = sd;
  figures.z = z;
  figures.confidence_label = std::move(label);
  return figures;
}

struct ResultRow {
  const char* name;
  double sd;
  const char* text;
};

class ResultText : public ::testing::TestWithParam<ResultRow> {};

TEST_P(ResultText, ShowsTheSdRoundedToFivePlaces) {
  const ResultRow& row = GetParam();
  EXPECT_EQ(WorkingReport().result_text(SeFigures(4, 1, row.sd)),
            std::string("The standard deviation is: ") + row.text);
  EXPECT_EQ(
      WorkingReport().result_text(CiFigures(ConfidenceChoice::Conf95, 4, 1, row.sd, 1.96, "95%")),
      std::string("The standard deviation is: ") + row.text);
}

const ResultRow kResultRows[] = {
    {"Whole", 10, "10"},
    {"Se15N30", 8.215838362577491, "8.21584"},
    {"TieToEvenDown", 1.000005, "1"},
    {"TieToEvenUp", 3.000015, "3.00002"},
    {"JustBelowHalf", 2.000005, "2"},
    {"JustAboveHalf", 0.300005, "0.30001"},
    {"BelowHalfStep", 0.000004, "0"},
    {"OneStep", 0.00001, "1E-05"},
    {"Large", 1234567890123.456789, "1234567890123.46"},
    {"TenToThe15", 1e15, "1E+15"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ResultText, ::testing::ValuesIn(kResultRows),
                         kelmory::testing::RowName{});

TEST(WorkingReport, StandardErrorTextShowsUnroundedFigures) {
  EXPECT_EQ(WorkingReport().working_text(SeFigures(30, 1.5, 8.215838362577491)),
            "Standard Deviation = sqrt(N) * Standard Error\r\n"
            "Which computes to 5.47722557505166 * 1.5\r\n"
            "\r\n"
            "Therefore, the SD = 8.21583836257749");
}

TEST(WorkingReport, CentralLimitSentenceNamesTheLabelAndRoundsTheSe) {
  EXPECT_EQ(WorkingReport().working_text(
                CiFigures(ConfidenceChoice::Conf99, 20, 0.123455, 0.5521073, 2.576, "99%")),
            "Standard Error = Confidence Error / z-value equivalence of confidence interval\r\n"
            "\r\n"
            "Applying the Central Limit Theorem (and assuming a z-value of 2.576 for the entered "
            "99% confidence interval), the estimated standard error computes as (approximately): "
            "0.12346\r\n"
            "\r\n"
            "The estimated Standard Deviation = sqrt(N) * Standard Error\r\n"
            "\r\n"
            "Which computes to 4.47213595499958 * 0.123455\r\n"
            "\r\n"
            "Therefore, the SD = 0.5521073");
}

TEST(WorkingReport, UserValueSentenceHasNoLabel) {
  EXPECT_EQ(WorkingReport().working_text(CiFigures(ConfidenceChoice::ConfOther, 16, 1.5, 6, 2, "")),
            "Standard Error = Confidence Error / z-value equivalence of confidence interval\r\n"
            "\r\n"
            "Applying a user specified value of 2 as the z-value or t-value equivalent of the "
            "confidence interval, the estimated standard error computes as (approximately): "
            "1.5\r\n"
            "\r\n"
            "The estimated Standard Deviation = sqrt(N) * Standard Error\r\n"
            "\r\n"
            "Which computes to 4 * 1.5\r\n"
            "\r\n"
            "Therefore, the SD = 6");
}

TEST(WorkingReport, WritesTheLocaleSeparatorEverywhere) {
  const WorkingReport report(NumberLocale{","});
  const DerivationFigures figures = CiFigures(ConfidenceChoice::Conf99, 20, 0.38819875776397517,
                                              1.7360776222824454, 2.576, "99%");
  EXPECT_EQ(report.result_text(figures), "The standard deviation is: 1,73608");
  EXPECT_EQ(report.working_text(figures),
            "Standard Error = Confidence Error / z-value equivalence of confidence interval\r\n"
            "\r\n"
            "Applying the Central Limit Theorem (and assuming a z-value of 2,576 for the entered "
            "99% confidence interval), the estimated standard error computes as (approximately): "
            "0,3882\r\n"
            "\r\n"
            "The estimated Standard Deviation = sqrt(N) * Standard Error\r\n"
            "\r\n"
            "Which computes to 4,47213595499958 * 0,388198757763975\r\n"
            "\r\n"
            "Therefore, the SD = 1,73607762228245");
}

}  // namespace
}  // namespace kelmory
