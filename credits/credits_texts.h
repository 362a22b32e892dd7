#pragma once
// The credits window's texts, kept apart from the window so that the tests
// can hold them against the layout rules (lengths, line breaks, headings).
// Plain ASCII with CR LF line ends, as every text the program shows.

#include <string_view>

namespace kelmory::credits {

// Opened by the website button; the citation names it as well.
inline constexpr std::string_view kMakerWebsite = "https://www.varonel.example/";
// Shown, followed by the address, when no web browser could be started.
inline constexpr std::string_view kNoBrowserText =
    "The website could not be opened: no web browser could be started.\r\n"
    "Its address, to copy into a browser:\r\n";

// clang-format off
// Line ends and the blank before each paragraph break are part of the text.
inline constexpr std::string_view kCitationText =
    "Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00). \r\n"
    "https://www.varonel.example/ Brennholme upon Aske, Ostreland.\r\n";

inline constexpr std::string_view kTermsOfUseText =
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
    "Kelmory is written and given away freely by Varonel.\r\n";
// clang-format on

}  // namespace kelmory::credits
