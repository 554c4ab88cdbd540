// The device list of the command line: items, a focus and a selection, and nothing drawn. The
// program's commands read the selection from it as they read the window's.
#pragma once

#include <vector>

#include "app/TVistaDispositivos.h"

class TVistaSinDibujo : public TVistaDispositivos {
 public:
  int Count() const override { return static_cast<int>(seleccion_.size()); }
  int ItemIndex() const override { return foco_; }
  void SetItemIndex(int index) override { foco_ = index >= 0 && index < Count() ? index : -1; }
  bool Selected(int index) const override { return seleccion_.at(index); }
  void SetSelected(int index, bool selected) override { seleccion_.at(index) = selected; }
  void Clear() override {
    seleccion_.clear();
    foco_ = -1;
  }
  void Add() override { seleccion_.push_back(false); }
  void Delete(int index) override { seleccion_.erase(seleccion_.begin() + index); }
  void Repaint() override {}

 private:
  std::vector<bool> seleccion_;
  int foco_ = -1;
};
