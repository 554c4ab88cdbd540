// A drawing surface that records what is drawn, with text metrics of a fixed-pitch font:
// every character is `ancho_caracter` pixels wide and every line `alto_linea` high.
#pragma once

#include <string>
#include <vector>

#include "platform/canvas.h"

namespace testing_support {

class CanvasRegistro : public platform::Canvas {
 public:
  struct Relleno {
    platform::Rect rect;
    platform::Color color;
  };
  struct Texto {
    int x, y;
    std::u16string text;
    platform::Color color = 0;
    bool recortado = false;
    platform::Rect clip{};
  };

  explicit CanvasRegistro(int ancho_caracter = 1, int alto_linea = 10)
      : ancho_caracter_(ancho_caracter), alto_linea_(alto_linea) {}

  void SetBrushColor(platform::Color color) override {
    brush_ = color;
    clear_ = false;
  }
  platform::Color BrushColor() const override { return brush_; }
  void SetBrushClear() override { clear_ = true; }
  void FillRect(const platform::Rect& rect) override {
    if (!clear_) rellenos.push_back({rect, brush_});
  }
  void SetFontColor(platform::Color color) override { font_ = color; }
  platform::Color FontColor() const override { return font_; }
  void SetClipRect(const platform::Rect& rect) override {
    clip_ = rect;
    recortado_ = true;
  }
  void ClearClipRect() override { recortado_ = false; }
  // A text drawn under a clip is recorded with it; so is its colour.
  void TextOut(int x, int y, const std::u16string& text) override {
    textos.push_back({x, y, text, font_, recortado_, clip_});
  }
  int TextWidth(const std::u16string& text) override {
    return static_cast<int>(text.size()) * ancho_caracter_;
  }
  int TextHeight(const std::u16string&) override { return alto_linea_; }
  void HorizontalLine(int x1, int x2, int y) override { lineas.push_back({x1, y, x2, y + 1}); }

  std::vector<Relleno> rellenos;
  std::vector<Texto> textos;
  std::vector<platform::Rect> lineas;

 private:
  int ancho_caracter_, alto_linea_;
  platform::Color brush_ = 0;
  platform::Color font_ = 0;
  bool clear_ = false;
  bool recortado_ = false;
  platform::Rect clip_{};
};

}  // namespace testing_support
