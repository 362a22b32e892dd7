// The credits texts against their layout rules: exact lengths, CR LF line
// ends, the headings in their places, paragraph breaks after a blank.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "credits/credits_texts.h"

namespace kelmory::credits {
namespace {

// The lines of a text in which every line, the last included, ends in CR LF.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t end; (end = text.find("\r\n")) != std::string_view::npos;
       text.remove_prefix(end + 2)) {
    lines.emplace_back(text.substr(0, end));
    EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << "a lone CR or LF";
  }
  EXPECT_TRUE(text.empty()) << "text after the last CR LF";
  return lines;
}

TEST(CreditsTexts, HaveTheirLengthsInCrLfLines) {
  EXPECT_EQ(kCitationText.size(), 130u);
  EXPECT_EQ(Lines(kCitationText).size(), 2u);
  EXPECT_TRUE(Lines(kCitationText)[0].find("(2011).") != std::string::npos);
  EXPECT_TRUE(Lines(kCitationText)[0].ends_with("Kelmory (v1.00). "));
  EXPECT_TRUE(Lines(kCitationText)[1].starts_with(kMakerWebsite));
  EXPECT_EQ(kTermsOfUseText.size(), 1315u);
  EXPECT_EQ(Lines(kTermsOfUseText).size(), 24u);
}

TEST(CreditsTexts, TermsFollowTheSectionLayout) {
  const std::vector<std::string> lines = Lines(kTermsOfUseText);
  // Each heading, and whether an empty line stands before it.
  const std::vector<std::pair<std::string, bool>> headings = {
      {"I. Summary", false},        {"II. Limitations", true},
      {"II. a. Good Faith", false}, {"II. b. Warranty", true},
      {"II.c. Liability", true},    {"II.d. Use of application in whole", true}};
  size_t at = 0;
  for (const auto& [heading, after_empty_line] : headings) {
    if (after_empty_line) EXPECT_EQ(lines.at(at++), "") << "before " << heading;
    EXPECT_EQ(lines.at(at++), heading);
    if (heading == "II. Limitations") continue;  // a heading only
    const size_t start = at;
    while (at < lines.size() && !lines[at].empty()) ++at;
    EXPECT_GT(at, start) << heading << " has no text";
    for (size_t i = start; i < at; ++i) {
      EXPECT_LE(lines[i].size(), 129u) << lines[i];
      EXPECT_EQ(lines[i].ends_with(' '), i + 1 < at) << "a break comes after a blank: " << lines[i];
    }
  }
  ASSERT_EQ(lines.size(), at + 2);
  EXPECT_EQ(lines[at], "");
  EXPECT_NE(lines[at + 1].find("Varonel"), std::string::npos) << "the closing line names the maker";
}

}  // namespace
}  // namespace kelmory::credits
