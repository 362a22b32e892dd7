// The credits texts against their layout rules: exact lengths, CR LF line
// ends, the headings in their places, paragraph breaks after a blank.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "credits/credits_texts.h"

namespace kelmory::credits {
namespace {

// Splits at CR LF; fails on any line that does not end so, or on a lone CR
// or LF inside a line.
std::vector<std::string> CrLfLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    if (end == std::string_view::npos) {
      ADD_FAILURE() << "text after the last CR LF: " << text;
      break;
    }
    const std::string_view line = text.substr(0, end);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << "lone CR or LF: " << line;
    lines.emplace_back(line);
    text.remove_prefix(end + 2);
  }
  return lines;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

TEST(CitationText, IsTwoCrLfLinesOf130Characters) {
  EXPECT_EQ(kCitationText.size(), 130u);
  const auto lines = CrLfLines(kCitationText);
  ASSERT_EQ(lines.size(), 2u);

  // Author, year, maker, product and version, with the blank before CR LF.
  const std::string_view first = lines[0];
  EXPECT_TRUE(EndsWith(first, ". (2011). Varonel Software - Kelmory (v1.00). ")) << first;
  EXPECT_NE(first.find(", "), std::string_view::npos) << "surname, then initials";

  // The maker's address, one blank, the city and country, a full stop.
  const std::string_view second = lines[1];
  EXPECT_EQ(second.substr(0, kMakerWebsite.size() + 1), std::string(kMakerWebsite) + " ");
  EXPECT_NE(second.find(", ", kMakerWebsite.size()), std::string_view::npos) << "city, country";
  EXPECT_TRUE(EndsWith(second, ".")) << second;
}

TEST(TermsOfUseText, IsTwentyFourCrLfLinesOf1315Characters) {
  EXPECT_EQ(kTermsOfUseText.size(), 1315u);
  EXPECT_EQ(CrLfLines(kTermsOfUseText).size(), 24u);
}

TEST(TermsOfUseText, FollowsTheSectionLayout) {
  const auto lines = CrLfLines(kTermsOfUseText);
  ASSERT_FALSE(lines.empty());

  // Each heading with whether an empty line stands before it.
  struct Heading {
    std::string_view text;
    bool after_empty_line;
  };
  const std::vector<Heading> headings = {
      {"I. Summary", false},
      {"II. Limitations", true},
      {"II. a. Good Faith", false},  // follows "II. Limitations" directly
      {"II. b. Warranty", true},
      {"II.c. Liability", true},
      {"II.d. Use of application in whole", true},
  };

  size_t at = 0;
  for (const Heading& heading : headings) {
    SCOPED_TRACE(std::string(heading.text));
    if (heading.after_empty_line) {
      ASSERT_LT(at, lines.size());
      EXPECT_EQ(lines[at], "") << "an empty line before the heading";
      ++at;
    }
    ASSERT_LT(at, lines.size());
    EXPECT_EQ(lines[at], heading.text);
    ++at;
    if (heading.text == "II. Limitations") continue;  // heading only

    // The paragraph: broken after a blank, the last line without one.
    const size_t start = at;
    while (at < lines.size() && !lines[at].empty()) ++at;
    ASSERT_GT(at, start) << "a section without text";
    for (size_t i = start; i < at; ++i) {
      EXPECT_LE(lines[i].size(), 129u) << lines[i];
      EXPECT_EQ(EndsWith(lines[i], " "), i + 1 < at) << "line " << i << ": " << lines[i];
    }
  }

  // An empty line, then one closing line that names the maker.
  ASSERT_EQ(lines.size(), at + 2);
  EXPECT_EQ(lines[at], "");
  EXPECT_NE(lines[at + 1].find("Varonel"), std::string::npos) << lines[at + 1];
}

TEST(CreditsTexts, ArePlainAscii) {
  for (const std::string_view text : {kCitationText, kTermsOfUseText, kMakerWebsite}) {
    for (const char c : text) EXPECT_LT(static_cast<unsigned char>(c), 0x80u);
  }
}

}  // namespace
}  // namespace kelmory::credits
