// The credits texts byte for byte, CR LF line ends and trailing blanks
// included: a typo that keeps the length must fail too, and a failure shows
// the difference.

#include <gtest/gtest.h>

#include <string>

#include "credits/credits_texts.h"

namespace kelmory::credits {
namespace {

TEST(CreditsTexts, AreExactlyTheShippedBytes) {
  EXPECT_EQ(kCitationText,
            "Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00). \r\n"
            "https://www.varonel.example/ Brennholme upon Aske, Ostreland.\r\n");
  EXPECT_EQ(kMakerWebsite, "https://www.varonel.example/");
  // clang-format off
  EXPECT_EQ(kTermsOfUseText,
      "I. Summary\r\n"
      "This software is provided to you free of charge, on an as-is basis. You may use it, and you may \r\n"
      "pass it on to other people, as long as it stays whole and all of its credits remain in place.\r\n"
      "\r\n"
      "II. Limitations\r\n"
      "II. a. Good Faith\r\n"
      "The programme was coded in good faith. Anyone who doubts the honesty of its code may \r\n"
      "be given insight into the code through a trusted organisation, such as a university, within \r\n"
      "limits: for example a single copy, for a limited time, to be removed when the evaluation ends.\r\n"
      "\r\n"
      "II. b. Warranty\r\n"
      "The makers have tried to make the code as stable as they could. They warrant that no code was placed \r\n"
      "in the programme to harm your system, and that no spyware or similar malware is in it or attached to it.\r\n"
      "\r\n"
      "II.c. Liability\r\n"
      "The programme was written with care, and it was tested on a good number of systems before its release. \r\n"
      "So far nobody has reported any damage to their system from using it. Even so, the makers are not \r\n"
      "liable for any damage however caused, including any damage that you might do to your own system with it.\r\n"
      "\r\n"
      "II.d. Use of application in whole\r\n"
      "Use of this software is limited to the application in whole; using only \r\n"
      "parts of it, on their own or inside other software, is not permitted.\r\n"
      "\r\n"
      "Kelmory is written and given away freely by Varonel.\r\n");
  // clang-format on
}

}  // namespace
}  // namespace kelmory::credits
