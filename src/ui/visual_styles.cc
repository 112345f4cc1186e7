#include "ui/visual_styles.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "ui/app_texts.h"

namespace quill::ui {

namespace {

struct Look {
  const char* name;
  const char* style;  // Qt style key; empty: the platform's own
  QRgb window;        // 0: the style's own palette
  QRgb base;
  QRgb text;
  QRgb highlight;
};

constexpr Look kLooks[kVisualStyleCount] = {
    {"Platform", "", 0, 0, 0, 0},
    {"Fusion", "Fusion", 0, 0, 0, 0},
    {"Fusion Blue", "Fusion", 0xDCE6F2, 0xFFFFFF, 0x1E1E1E, 0x3D7BC4},
    {"Fusion Silver", "Fusion", 0xE8E8EC, 0xFFFFFF, 0x202020, 0x6E7B8B},
    {"Fusion Black", "Fusion", 0x2B2B2E, 0x1E1E20, 0xE6E6E6, 0x4F8CC9},
    {"Fusion Aqua", "Fusion", 0xD8EEF0, 0xFFFFFF, 0x102020, 0x2A9BA8},
    {"Fusion Sand", "Fusion", 0xEFE6D2, 0xFFFDF7, 0x2A2418, 0xB07A2A},
    {"Fusion Forest", "Fusion", 0xDDE8D8, 0xFFFFFF, 0x17231A, 0x3F7F4A},
    {"Windows", "Windows", 0, 0, 0, 0},
};

}  // namespace

QString VisualStyleName(int id) {
  const int index = id - kCmdFirstLook;
  return index >= 0 && index < kVisualStyleCount ? QString::fromUtf8(kLooks[index].name) : QString();
}

void ApplyVisualStyle(int id) {
  int index = id - kCmdFirstLook;
  if (index < 0 || index >= kVisualStyleCount) index = kDefaultLook - kCmdFirstLook;
  const Look& look = kLooks[index];
  static const QString platform_style = QApplication::style()->name();
  const QString key = *look.style ? QString::fromUtf8(look.style) : platform_style;
  if (QStyle* style = QStyleFactory::create(key)) QApplication::setStyle(style);
  QPalette palette = QApplication::style()->standardPalette();
  if (look.window != 0) {
    const QColor window = QColor::fromRgb(look.window);
    const QColor base = QColor::fromRgb(look.base);
    const QColor text = QColor::fromRgb(look.text);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(104));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, QColor::fromRgb(look.highlight));
    palette.setColor(QPalette::HighlightedText, QColor(Qt::white));
  }
  QApplication::setPalette(palette);
}

}  // namespace quill::ui
