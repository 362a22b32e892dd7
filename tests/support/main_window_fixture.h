#pragma once
// A fixture for the tests that start from the main window, shown and active
// as at program start.

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "main_window/frm_main.h"
#include "tests/support/gui_test.h"

namespace kelmory::testing {

class ShownMainWindow : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    main_ = new frmMain();
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_));
    Activate(main_);
  }

  // Null once the window has closed: it deletes itself.
  QPointer<frmMain> main_;
};

}  // namespace kelmory::testing
