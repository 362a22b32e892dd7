#pragma once
// A review window of its own for each test, with its settings and recovery
// files in a temporary folder, and the keys and clicks the tests drive it by.

#include <QApplication>
#include <QClipboard>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "review/review_window.h"
#include "tests/support/gui_test.h"

namespace kelmory::testing {

class ReviewWindowTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("settings"));
    qputenv("XDG_STATE_HOME", Path("state").toLocal8Bit());  // the recovery files
    NewWindow();
  }
  // The next window, after the last one (if any) is gone.
  void NewWindow() {
    delete window_;
    window_ = new ReviewWindow();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    Activate(window_);
    table_ = Find<QTableView>(window_, "studyTable");
    model_ = table_->model();
  }
  void TearDown() override {
    delete window_;  // without the unsaved-changes question
    GuiTest::TearDown();
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    QApplication::processEvents();  // an editor commits its cell in a queued call
  }
  void Paste(const QString& text) {
    QApplication::clipboard()->setText(text);
    table_->setFocus();
    QTest::keyClick(table_, Qt::Key_V, Qt::ControlModifier);
  }
  QStringList Header() const {
    QStringList names;
    for (int c = 0; c < model_->columnCount(); ++c)
      names << model_->headerData(c, Qt::Horizontal).toString();
    return names;
  }
  int Column(const QString& name) const { return static_cast<int>(Header().indexOf(name)); }
  QModelIndex At(int row, const QString& column) const {
    return model_->index(row, Column(column));
  }
  QString Cell(int row, const QString& column) const { return At(row, column).data().toString(); }
  void ClickCell(int row, const QString& column) {
    QTest::mouseClick(table_->viewport(), Qt::LeftButton, {},
                      table_->visualRect(At(row, column)).center());
  }
  // The first key opens the editor, which takes the rest.
  static void Type(const QString& text) {
    for (const QChar c : text) QTest::keyClicks(QApplication::focusWidget(), QString(c));
  }
  void TypeInto(int row, const QString& column, const QString& text) {
    ClickCell(row, column);
    Type(text);
    Key(Qt::Key_Return);
  }

  QTemporaryDir dir_;
  ReviewWindow* window_ = nullptr;
  QTableView* table_ = nullptr;
  QAbstractItemModel* model_ = nullptr;
};

}  // namespace kelmory::testing
