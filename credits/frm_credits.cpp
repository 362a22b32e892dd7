#include "credits/frm_credits.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <string_view>

#include "credits/credits_texts.h"
#include "ui_frmCredits.h"

namespace kelmory {

namespace tk = toolkit;

namespace {

// The website button's caption is wider than the button; like the design's
// toolkit, break it at its blanks rather than clip it.
class WrappingCaptionStyle final : public QProxyStyle {
 public:
  explicit WrappingCaptionStyle(const QString& base) : QProxyStyle(base) {}

  void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                    bool enabled, const QString& text, QPalette::ColorRole role) const override {
    QProxyStyle::drawItemText(painter, rect, flags | Qt::TextWordWrap, palette, enabled, text,
                              role);
  }
};

void WrapCaption(QPushButton* button) {
  auto* style = new WrappingCaptionStyle(QApplication::style()->name());
  style->setParent(button);
  button->setStyle(style);
}

QString Text(std::string_view ascii) {
  return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size()));
}

}  // namespace

frmCredits::frmCredits(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::frmCredits>()) {
  tk::BeginDesign(this);
  ui_->setupUi(this);
  tk::ApplyDesign(this, tk::Border::OwnerlessFixedDialog, tk::StartPosition::SystemDefault);
  WrapCaption(ui_->cmdVaronelWebsite);
  tk::SetBoxText(ui_->Text3, Text(credits::kCitationText));
  tk::SetBoxText(ui_->Text1, Text(credits::kTermsOfUseText));

  connect(ui_->cmdVaronelWebsite, &QPushButton::clicked, this,
          &frmCredits::cmdVaronelWebsite_Click);
  connect(ui_->cmdUnloadCredits, &QPushButton::clicked, this, &frmCredits::cmdUnloadCredits_Click);

  ui_->Text1->setFocus();
}

frmCredits::~frmCredits() = default;

void frmCredits::cmdVaronelWebsite_Click() {
  // Where no browser can be started the address is shown, to be copied.
  if (!tk::OpenWebAddress(Text(credits::kMakerWebsite)))
    tk::ShowMessage(Text(credits::kNoBrowserText) + Text(credits::kMakerWebsite),
                    tk::MessageText::Selectable);
}

void frmCredits::cmdUnloadCredits_Click() { close(); }

toolkit::FormHolder& CreditsWindow() {
  // Ownerless: the window may outlive the main window.
  static toolkit::FormHolder holder([](QWidget*) { return new frmCredits(); });
  return holder;
}

}  // namespace kelmory
