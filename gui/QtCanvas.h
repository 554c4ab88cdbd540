// The drawing surface over a QPainter, measuring with the painter's font as it is at construction.
// Starts with a clear brush and black text; lines use a black pen. The painter's own brush is
// not used; its clip, if any, stays in force under SetClipRect.
#pragma once

#include <QFontMetrics>
#include <QRegion>

#include "platform/canvas.h"

class QPainter;

class QtCanvas final : public platform::Canvas {
 public:
  explicit QtCanvas(QPainter& painter);

  void SetBrushColor(platform::Color color) override;
  platform::Color BrushColor() const override { return brush_color_; }
  void SetBrushClear() override { brush_solid_ = false; }
  void FillRect(const platform::Rect& rect) override;
  void SetFontColor(platform::Color color) override { font_color_ = color; }
  platform::Color FontColor() const override { return font_color_; }
  void SetClipRect(const platform::Rect& rect) override;
  void ClearClipRect() override;
  // y is the top of the text line. With a solid brush the text's cell is filled first.
  void TextOut(int x, int y, const std::u16string& text) override;
  int TextWidth(const std::u16string& text) override;
  int TextHeight(const std::u16string& text) override;
  void HorizontalLine(int x1, int x2, int y) override;

 private:
  QPainter& painter_;
  QFontMetrics metrics_;
  platform::Color brush_color_ = platform::Rgb(255, 255, 255);
  bool brush_solid_ = false;
  platform::Color font_color_ = platform::Rgb(0, 0, 0);
  // The painter's own clip when the canvas was made: SetClipRect narrows it, ClearClipRect
  // gives it back.
  bool recorte_previo_;
  QRegion region_previa_;
};
