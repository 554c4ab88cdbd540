#include "gui/QtCanvas.h"

#include <QPainter>

#include "gui/ColoresQt.h"

namespace {

QRect RectQt(const platform::Rect& rect) {
  return QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
}

}  // namespace

QtCanvas::QtCanvas(QPainter& painter)
    : painter_(painter),
      metrics_(painter.fontMetrics()),
      recorte_previo_(painter.hasClipping()),
      region_previa_(painter.clipRegion()) {}

void QtCanvas::SetBrushColor(platform::Color color) {
  brush_color_ = color;
  brush_solid_ = true;
}

void QtCanvas::FillRect(const platform::Rect& rect) {
  if (brush_solid_) painter_.fillRect(RectQt(rect), ColorQt(brush_color_));
}

void QtCanvas::TextOut(int x, int y, const std::u16string& text) {
  const QString qtext = QString::fromStdU16String(text);
  if (brush_solid_) {
    painter_.fillRect(QRect(x, y, metrics_.horizontalAdvance(qtext), metrics_.height()),
                      ColorQt(brush_color_));
  }
  painter_.setPen(ColorQt(font_color_));
  painter_.drawText(x, y + metrics_.ascent(), qtext);
}

int QtCanvas::TextWidth(const std::u16string& text) {
  return metrics_.horizontalAdvance(QString::fromStdU16String(text));
}

int QtCanvas::TextHeight(const std::u16string&) { return metrics_.height(); }

void QtCanvas::HorizontalLine(int x1, int x2, int y) {
  if (x2 > x1) painter_.fillRect(QRect(x1, y, x2 - x1, 1), Qt::black);
}

void QtCanvas::SetClipRect(const platform::Rect& rect) {
  const QRegion region(RectQt(rect));
  painter_.setClipRegion(recorte_previo_ ? region_previa_.intersected(region) : region);
}

void QtCanvas::ClearClipRect() {
  if (recorte_previo_) {
    painter_.setClipRegion(region_previa_);
  } else {
    painter_.setClipping(false);
  }
}
