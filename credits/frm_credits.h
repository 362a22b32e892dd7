#pragma once
// The credits window: the product's name, the citation, the terms of use and
// the maker's website. The main window opens it through CreditsWindow();
// it is modeless and has no owner, so it may outlive the main window.

#include <QWidget>
#include <memory>

#include "toolkit/toolkit.h"

namespace Ui {
class frmCredits;
}

namespace kelmory {

class frmCredits final : public QWidget {
  Q_OBJECT

 public:
  explicit frmCredits(QWidget* parent = nullptr);
  ~frmCredits() override;

 private:
  void cmdVaronelWebsite_Click();
  void cmdUnloadCredits_Click();

  std::unique_ptr<Ui::frmCredits> ui_;
};

// The one credits window object, created on first use.
toolkit::FormHolder& CreditsWindow();

}  // namespace kelmory
