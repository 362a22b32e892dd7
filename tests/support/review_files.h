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
