// Conversion between the drawing surface's colours (0x00BBGGRR, red in the low byte) and Qt's.
#pragma once

#include <QColor>

#include "platform/canvas.h"

inline QColor ColorQt(platform::Color color) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

inline platform::Color ColorCanvas(const QColor& color) {
  return platform::Rgb(color.red(), color.green(), color.blue());
}
