// The build step kelmory_make_cutoff: it writes the data file from the CSV
// through a temporary and a rename, so a failed or interrupted run never
// leaves a half file under the target's name.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "ttable/ttable_source.h"
#include "ttable_fixtures.h"

namespace kelmory {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string kHeader = "df,50%,60%,70%,80%,90%,95%,96%,98%,99%,99.5%,99.8%,99.9%\n";
const std::string kRow =
    ",1.000,1.376,1.963,3.078,6.314,12.706,15.895,31.821,63.657,127.321,318.309,636.619\n";

int RunMakeCutoff(const std::string& csv, const std::string& target) {
  const std::string command =
      std::string("'") + KELMORY_MAKE_CUTOFF + "' '" + csv + "' '" + target + "' 2>/dev/null";
  return std::system(command.c_str());
}

TEST(MakeCutoff, WritesTheRowsInOrderAndNothingElse) {
  TempDir dir;
  WriteFile(dir.file("in.csv"), kHeader + "3" + kRow + "1" + kRow + "\xE2\x88\x9E" + kRow);
  ASSERT_EQ(RunMakeCutoff(dir.file("in.csv"), dir.file("out/cutoff.mdb")), 0);
  EXPECT_EQ(Listing(dir.path() / "out"), std::set<std::string>{"cutoff.mdb"});
  std::vector<std::string> dfs;
  const TTableReadOutcome outcome =
      TTableSource::ReadRowsFromFile(dir.file("out/cutoff.mdb"), [&](const TTableRow& row) {
        dfs.push_back(row.DfText);
        EXPECT_EQ(row.ValueTexts[0], "1.000");
        EXPECT_EQ(row.ValueTexts[11], "636.619");
      });
  EXPECT_TRUE(outcome.completed) << outcome.failure_text;
  EXPECT_EQ(dfs, (std::vector<std::string>{"3", "1", "\xE2\x88\x9E"}));
}

TEST(MakeCutoff, AcceptsCrLfLines) {
  TempDir dir;
  WriteFile(dir.file("in.csv"), "df,50%,60%,70%,80%,90%,95%,96%,98%,99%,99.5%,99.8%,99.9%\r\n1" +
                                    kRow.substr(0, kRow.size() - 1) + "\r\n");
  ASSERT_EQ(RunMakeCutoff(dir.file("in.csv"), dir.file("cutoff.mdb")), 0);
  int rows = 0;
  EXPECT_TRUE(TTableSource::ReadRowsFromFile(dir.file("cutoff.mdb"), [&](const TTableRow& row) {
                ++rows;
                EXPECT_EQ(row.ValueTexts[11], "636.619");
              }).completed);
  EXPECT_EQ(rows, 1);
}

TEST(MakeCutoff, AFaultyCsvLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  WriteFile(dir.file("good.csv"), kHeader + "1" + kRow);
  ASSERT_EQ(RunMakeCutoff(dir.file("good.csv"), dir.file("cutoff.mdb")), 0);
  const std::string before = ReadFile(dir.file("cutoff.mdb"));
  const std::vector<std::string> faulty = {
      "",                                               // no header
      "df,50%\n1,1.000\n",                              // wrong header
      kHeader,                                          // no rows
      kHeader + "1,1.000,1.376\n",                      // too few fields
      kHeader + "one" + kRow,                           // df neither whole number nor ∞
      kHeader + "1" + kRow + "2,1.0" + kRow.substr(6),  // two decimals
      kHeader + "1" + kRow + "2" + kRow.substr(0, kRow.size() - 1) + ",9.999\n",  // 14 fields
  };
  for (const std::string& content : faulty) {
    WriteFile(dir.file("bad.csv"), content);
    EXPECT_NE(RunMakeCutoff(dir.file("bad.csv"), dir.file("cutoff.mdb")), 0) << content;
    EXPECT_EQ(ReadFile(dir.file("cutoff.mdb")), before) << content;
    EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"bad.csv", "cutoff.mdb", "good.csv"}))
        << content;
  }
}

TEST(MakeCutoff, AHalfFileOfAnInterruptedRunIsReplaced) {
  TempDir dir;
  WriteFile(dir.file("in.csv"), kHeader + "1" + kRow);
  WriteFile(dir.file("cutoff.mdb.tmp"), "half a database");
  ASSERT_EQ(RunMakeCutoff(dir.file("in.csv"), dir.file("cutoff.mdb")), 0);
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"cutoff.mdb", "in.csv"}));
  EXPECT_TRUE(TTableSource::ReadRowsFromFile(dir.file("cutoff.mdb"), nullptr).completed);
}

TEST(MakeCutoff, TheSameCsvGivesTheSameBytes) {
  TempDir dir;
  WriteFile(dir.file("in.csv"), kHeader + "1" + kRow + "2" + kRow);
  ASSERT_EQ(RunMakeCutoff(dir.file("in.csv"), dir.file("a.mdb")), 0);
  ASSERT_EQ(RunMakeCutoff(dir.file("in.csv"), dir.file("b.mdb")), 0);
  EXPECT_EQ(ReadFile(dir.file("a.mdb")), ReadFile(dir.file("b.mdb")));
}

}  // namespace
}  // namespace kelmory
