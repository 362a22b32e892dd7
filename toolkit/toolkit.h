#pragma once
// The toolkit layer: what Kelmory's windows rely on from the windowing
// toolkit, mapped onto Qt 6 Widgets. The windows (main_window/, ttable/,
// credits/) start with BeginDesign, build themselves from their .ui designs
// and then hand the result to ApplyDesign; every message box, key filter,
// CR LF text and window lifetime goes through here, so the windows never
// talk to Qt's quirks directly.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPalette;
class QColor;
class QIcon;

namespace kelmory::toolkit {

// Designs are written in twips; at 96 dpi fifteen of them make one pixel.
constexpr int kTwipsPerPixel = 15;

// Colour values: with the flag, an entry of the user's colour scheme;
// without it, a fixed colour stored as 0x00BBGGRR.
constexpr std::uint32_t kSystemColourFlag = 0x80000000u;
constexpr std::uint32_t kWindowBackground = 0x80000005u;
constexpr std::uint32_t kWindowText = 0x80000008u;
constexpr std::uint32_t kButtonFace = 0x8000000Fu;
constexpr std::uint32_t kGreyText = 0x80000011u;
constexpr std::uint32_t kButtonText = 0x80000012u;

QColor ColourValue(std::uint32_t value, const QPalette& scheme);
void SetBackColour(QWidget* control, std::uint32_t value);
void SetForeColour(QWidget* control, std::uint32_t value);
// The WCAG contrast ratio of two colours, from 1 to 21.
double ContrastRatio(const QColor& one, const QColor& other);

enum class Border {
  FixedSingle,  // system menu and close box; a taskbar entry of its own
  FixedDialog,  // close box only, no taskbar entry
  // Close box only and no taskbar entry even without an owner, yet it keeps
  // the program running while it is open, as any other window does.
  OwnerlessFixedDialog,
};
enum class StartPosition { CentreScreen, SystemDefault };

// Starts a window before setupUi builds its controls: the design font, so
// that each control is created and laid out once, in it, and the window's
// role for screen readers.
void BeginDesign(QWidget* form);
// Gives the window a frame's or dialog's accessible role (BeginDesign does).
void MarkDesignForm(QWidget* form);

// Finishes a window built by setupUi: the colour properties
// "BackColor"/"ForeColor" of its controls, the labels' accessible names, the
// fixed border and the start position. Escape closes a dialog border. The
// window is deleted when it closes.
void ApplyDesign(QWidget* form, Border border, StartPosition start);

// "MS Sans Serif" 8.25 pt, or a metric-close substitute where it is missing.
// Resolved once per program run.
QFont DesignFont();

// The program's icon at the three sizes desktops ask a window for, decoded
// once and shared by the application and its windows.
QIcon ProgramIcon();

// A modal box with the text, one OK button, no icon and the title "Kelmory".
// Returns when the user has dismissed it. Selectable text can be copied.
enum class MessageText { Plain, Selectable };
void ShowMessage(const QString& text, MessageText kind = MessageText::Plain);

// Sets a single-line box's text with the view at its beginning, where the
// designs' toolkit leaves it, rather than at its end.
void SetLineText(QLineEdit* box, const QString& text);

// Multi-line box text on the program's side is CR LF text.
void SetBoxText(QPlainTextEdit* box, const QString& crlf_text);

// Runs `handler` for each typed character before `box` inserts it. The code
// is the character's first UTF-16 unit; setting it to 0 drops the keystroke.
using KeyPressHandler = std::function<void(std::int16_t& key_ascii)>;
void OnKeyPress(QWidget* box, KeyPressHandler handler);

// The directory that holds the running executable, links resolved, as the
// file system's own bytes: a directory name need not be valid text.
QByteArray ProgramDirectory();
// False when no program could be asked to open the address.
[[nodiscard]] bool OpenWebAddress(const QString& address);

// A window object created on first use and kept for the program's life. The
// widget itself is built afresh from its design at each show after a close.
class FormHolder {
 public:
  using Factory = std::function<QWidget*(QWidget* owner)>;
  explicit FormHolder(Factory factory);

  // Shows without an owner and returns at once; an open window comes to the
  // front.
  QWidget* ShowModeless();
  // Shows over `owner` and returns only once the window has closed.
  void ShowModal(QWidget* owner);
  // The loaded window, or null while none is loaded.
  QWidget* Loaded() const { return form_; }

 private:
  QWidget* Load(QWidget* owner);

  Factory factory_;
  QPointer<QWidget> form_;
};

}  // namespace kelmory::toolkit
