// The credits texts byte for byte, CR LF line ends and trailing blanks
// included: a typo that keeps the length must fail too. The terms are held
// to a SHA-256 digest rather than a second copy of 24 lines.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <string>

#include "credits/credits_texts.h"

namespace kelmory::credits {
namespace {

TEST(CreditsTexts, AreExactlyTheShippedBytes) {
  EXPECT_EQ(kCitationText,
            "Tarrowmere, H. J. M. (2011). Varonel Software - Kelmory (v1.00). \r\n"
            "https://www.varonel.example/ Brennholme upon Aske, Ostreland.\r\n");
  const QByteArray terms(kTermsOfUseText.data(), static_cast<qsizetype>(kTermsOfUseText.size()));
  EXPECT_EQ(QCryptographicHash::hash(terms, QCryptographicHash::Sha256).toHex().toStdString(),
            "b134920a177e452c668089071debac1ad8f43358080c6e3d11bedacbcf4046ab")
      << "the terms of use changed (" << terms.size() << " bytes, " << terms.count("\r\n")
      << " lines)";
}

}  // namespace
}  // namespace kelmory::credits
