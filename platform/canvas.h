// A drawing surface, as the owner-drawn device list and the memory bar use it. The window gives
// a Qt-backed one; tests may record the calls.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Windows colour value: red in the low byte, then green, then blue.
using Color = std::uint32_t;
constexpr Color Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

struct Rect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  // A solid brush of this colour; FillRect paints with it and text is drawn on it.
  virtual void SetBrushColor(Color color) = 0;
  virtual Color BrushColor() const = 0;
  // A clear brush: FillRect paints nothing and text is drawn without a background.
  virtual void SetBrushClear() = 0;
  virtual void FillRect(const Rect& rect) = 0;
  virtual void SetFontColor(Color color) = 0;
  virtual Color FontColor() const = 0;
  // Drawing reaches only inside `rect` until ClearClipRect.
  virtual void SetClipRect(const Rect& rect) = 0;
  virtual void ClearClipRect() = 0;
  virtual void TextOut(int x, int y, const std::u16string& text) = 0;
  virtual int TextWidth(const std::u16string& text) = 0;
  virtual int TextHeight(const std::u16string& text) = 0;
  // A one-pixel line with the pen, from (x1, y) to (x2, y), x2 excluded.
  virtual void HorizontalLine(int x1, int x2, int y) = 0;
};

}  // namespace platform
