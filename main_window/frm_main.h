#pragma once
// The main window: the boxes the user types figures into, the confidence
// selector and the commands. Compute hands the box texts to the engine
// (engine/) and shows what comes back; t-Table and Credits open the windows
// of ttable/ and credits/. Everything Qt-specific goes through toolkit/.

#include <QWidget>
#include <cstdint>
#include <memory>

#include "engine/sd_deriver.h"

namespace Ui {
class frmMain;
}

namespace kelmory {

class frmMain final : public QWidget {
  Q_OBJECT

 public:
  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

 private:
  void txtSE_KeyPress(std::int16_t& KeyAscii);
  void txtN_KeyPress(std::int16_t& KeyAscii);
  void txtCI_KeyPress(std::int16_t& KeyAscii);
  void txtZ_KeyPress(std::int16_t& KeyAscii);

  void op95_Click();
  void op99_Click();
  void opOther_Click();

  void cmdSE_Click();
  void cmdReset_Click();
  void cmdExit_Click();
  void cmdTable2_Click();
  void cmdCredits_Click();

  // The seven assignments every option makes: the z frame's enabled state,
  // then the three caption colours.
  void ShowSelection(bool other_enabled, std::uint32_t colour95, std::uint32_t colour99,
                     std::uint32_t colour_other);
  ConfidenceChoice SelectedChoice() const;

  std::unique_ptr<Ui::frmMain> ui_;
};

}  // namespace kelmory
