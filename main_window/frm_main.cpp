#include "main_window/frm_main.h"

#include <QLocale>

#include "credits/frm_credits.h"
#include "main_window/entry_filters.h"
#include "toolkit/toolkit.h"
#include "ttable/frm_citable.h"
#include "ui_frmMain.h"

namespace kelmory {

namespace tk = toolkit;

namespace {

std::string Utf8(const QString& text) { return text.toStdString(); }

// Read afresh at each use, as Compute reads it.
QChar LocaleSeparator() { return QLocale::system().decimalPoint().front(); }

}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::frmMain>()) {
  tk::BeginDesign(this);
  ui_->setupUi(this);
  setWindowIcon(tk::ProgramIcon());
  tk::ApplyDesign(this, tk::Border::FixedSingle, tk::StartPosition::CentreScreen);

  tk::OnKeyPress(ui_->txtSE, [this](std::int16_t& key) { txtSE_KeyPress(key); });
  tk::OnKeyPress(ui_->txtN, [this](std::int16_t& key) { txtN_KeyPress(key); });
  tk::OnKeyPress(ui_->txtCI, [this](std::int16_t& key) { txtCI_KeyPress(key); });
  tk::OnKeyPress(ui_->txtZ, [this](std::int16_t& key) { txtZ_KeyPress(key); });

  // An option's click handler runs when it becomes selected, by mouse or keys.
  const auto when_selected = [this](QAbstractButton* option, void (frmMain::*handler)()) {
    connect(option, &QAbstractButton::toggled, this, [this, handler](bool selected) {
      if (selected) (this->*handler)();
    });
  };
  when_selected(ui_->op95, &frmMain::op95_Click);
  when_selected(ui_->op99, &frmMain::op99_Click);
  when_selected(ui_->opOther, &frmMain::opOther_Click);

  connect(ui_->cmdSE, &QPushButton::clicked, this, &frmMain::cmdSE_Click);
  connect(ui_->cmdReset, &QPushButton::clicked, this, &frmMain::cmdReset_Click);
  connect(ui_->cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
  connect(ui_->cmdTable2, &QPushButton::clicked, this, &frmMain::cmdTable2_Click);
  connect(ui_->cmdCredits, &QPushButton::clicked, this, &frmMain::cmdCredits_Click);

  ui_->txtSE->setFocus();
}

frmMain::~frmMain() = default;

void frmMain::txtSE_KeyPress(std::int16_t& KeyAscii) {
  DecimalFilter(KeyAscii, ui_->txtSE->text(), LocaleSeparator());
}
void frmMain::txtN_KeyPress(std::int16_t& KeyAscii) { WholeNumberFilter(KeyAscii); }
void frmMain::txtCI_KeyPress(std::int16_t& KeyAscii) {
  DecimalFilter(KeyAscii, ui_->txtCI->text(), LocaleSeparator());
}
void frmMain::txtZ_KeyPress(std::int16_t& KeyAscii) {
  DecimalFilter(KeyAscii, ui_->txtZ->text(), LocaleSeparator());
}

void frmMain::ShowSelection(bool other_enabled, std::uint32_t colour95, std::uint32_t colour99,
                            std::uint32_t colour_other) {
  ui_->Frame2->setEnabled(other_enabled);
  ui_->txtUser->setEnabled(other_enabled);
  ui_->txtZ->setEnabled(other_enabled);
  ui_->cmdTable2->setEnabled(other_enabled);
  tk::SetForeColour(ui_->op95, colour95);
  tk::SetForeColour(ui_->op99, colour99);
  tk::SetForeColour(ui_->opOther, colour_other);
}

void frmMain::op95_Click() { ShowSelection(false, tk::kButtonText, tk::kGreyText, tk::kGreyText); }
void frmMain::op99_Click() { ShowSelection(false, tk::kGreyText, tk::kButtonText, tk::kGreyText); }
void frmMain::opOther_Click() {
  ShowSelection(true, tk::kGreyText, tk::kGreyText, tk::kButtonText);
}

ConfidenceChoice frmMain::SelectedChoice() const {
  if (ui_->op95->isChecked()) return ConfidenceChoice::Conf95;
  if (ui_->op99->isChecked()) return ConfidenceChoice::Conf99;
  if (ui_->opOther->isChecked()) return ConfidenceChoice::ConfOther;
  return ConfidenceChoice::ConfNone;
}

void frmMain::cmdSE_Click() {
  tk::SetBoxText(ui_->txtWorking, QString());

  const DerivationRequest request{Utf8(ui_->txtSE->text()), Utf8(ui_->txtN->text()),
                                  Utf8(ui_->txtCI->text()), Utf8(ui_->txtZ->text()),
                                  SelectedChoice()};
  const SdDeriver deriver(NumberLocale{Utf8(QLocale::system().decimalPoint())});
  const DerivationOutcome outcome = deriver.derive(request);

  if (outcome.kind == DerivationOutcome::Kind::Refusal) {
    tk::ShowMessage(QString::fromStdString(outcome.refusal_message));
    return;
  }
  tk::SetLineText(ui_->txtSD, QString::fromStdString(outcome.result_text));
  tk::SetBoxText(ui_->txtWorking, QString::fromStdString(outcome.working_text));
  if (outcome.advisory_message) tk::ShowMessage(QString::fromStdString(*outcome.advisory_message));
}

void frmMain::cmdReset_Click() {
  ui_->txtSE->clear();
  ui_->txtN->clear();
  ui_->txtCI->clear();
  ui_->txtSD->clear();
  tk::SetBoxText(ui_->txtWorking, QString());
  ui_->txtZ->clear();
}

void frmMain::cmdExit_Click() { close(); }

void frmMain::cmdTable2_Click() { CITableWindow().ShowModal(this); }

void frmMain::cmdCredits_Click() { CreditsWindow().ShowModeless(); }

}  // namespace kelmory
