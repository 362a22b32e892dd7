#pragma once
// Files, kelmory-batch runs and message texts for the review window's tests.
// A test target that includes this defines KELMORY_BATCH, the program's path.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "tests/support/gui_test.h"

namespace kelmory::testing {

// kelmory-batch --working's output for "study,n,se\nAbel,25,2\n".
inline const QByteArray kAbelSaved =
    "study,n,se,sd,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,"
    "warning,refusal,working\nAbel,25,2,10,se,,,,,,,,\"Standard Deviation "
    "= sqrt(N) * Standard Error\r\nWhich computes to 5 * 2\r\n\r\n"
    "Therefore, the SD = 10\"\n";

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// What kelmory-batch --working writes for these arguments (a file last).
inline QByteArray BatchOutput(const QStringList& arguments) {
  QProcess batch;
  batch.start(KELMORY_BATCH, QStringList("--working") + arguments);
  EXPECT_TRUE(batch.waitForFinished(10000));
  return batch.readAllStandardOutput();
}

// What kelmory-batch --working writes for `input`, put first in the file `path`.
inline QByteArray BatchOutputOf(const QString& path, const QByteArray& input) {
  WriteAll(path, input);
  return BatchOutput({path});
}

// A workbook's cells as "sheet ref kind 'text' shade" lines, read back by
// Python's own zip reader.
inline QStringList WorkbookCells(const QString& path) {
  QProcess python;
  python.start("python3", {"-c", R"py(
import re, sys, zipfile
book = zipfile.ZipFile(sys.argv[1])
strings = re.findall(r'<t[^>]*>([^<]*)</t>', book.read('xl/sharedStrings.xml').decode())
fills = re.findall(r'<fgColor rgb="([0-9A-F]+)"', book.read('xl/styles.xml').decode())
xfs = re.search(r'<cellXfs[^>]*>(.*)</cellXfs>', book.read('xl/styles.xml').decode(), re.S).group(1)
fill_of = [int(f) for f in re.findall(r'<xf [^>]*fillId="(\d+)"', xfs)]
for sheet in (1, 2):
    xml = book.read('xl/worksheets/sheet%d.xml' % sheet).decode()
    for ref, attrs, value in re.findall(r'<c r="([A-Z]+\d+)"([^>]*)>(?:<v>([^<]*)</v>)?', xml):
        style = re.search(r's="(\d+)"', attrs)
        shade = fills[fill_of[int(style.group(1))] - 2] if style and fill_of[int(style.group(1))] >= 2 else ''
        text = strings[int(value)] if 't="s"' in attrs else value
        print(sheet, ref, 'number' if 't="s"' not in attrs else 'text', repr(text)[:60], shade)
)py",
                           path});
  EXPECT_TRUE(python.waitForFinished(30000));
  EXPECT_EQ(python.readAllStandardError(), "");
  return QString::fromUtf8(python.readAllStandardOutput()).split('\n');
}

inline QStringList Files(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The texts of the message boxes shown since the last look.
inline QStringList Messages() {
  QStringList texts;
  for (const auto& seen : MessageBoxes::Take()) texts << seen.text;
  return texts;
}

// Clicks the button of the next message box that reads `text`.
inline void AnswerNextBox(const QString& text) {
  MessageBoxes::OnShow([text](const auto&) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    for (QAbstractButton* button : box->buttons())
      if (button->text().remove('&') == text) return button->click();
    ADD_FAILURE() << "no button " << text.toStdString();
  });
}

}  // namespace kelmory::testing
