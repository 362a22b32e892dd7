#pragma once
// The dark desktop scheme the screenshot tools render in: light text on dark
// faces.

#include <QColor>
#include <QPalette>

namespace kelmory::screenshots {

inline QPalette DarkScheme() {
  QPalette dark(QColor(0xdc, 0xdc, 0xdc), QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50),
                QColor(0x20, 0x20, 0x20), QColor(0x2a, 0x2a, 0x2a), QColor(0xdc, 0xdc, 0xdc),
                QColor(0xff, 0xff, 0xff), QColor(0x2a, 0x2a, 0x2a), QColor(0x35, 0x35, 0x35));
  dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
  dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
  return dark;
}

}  // namespace kelmory::screenshots
