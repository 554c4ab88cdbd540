// The device list without a widget: items, a focused item and a selection.
#pragma once

#include <vector>

#include "app/TVistaDispositivos.h"

namespace testing_support {

class VistaSimple : public TVistaDispositivos {
 public:
  int Count() const override { return static_cast<int>(seleccion.size()); }
  int ItemIndex() const override { return foco; }
  void SetItemIndex(int index) override { foco = index < Count() ? index : -1; }
  bool Selected(int index) const override { return seleccion.at(index); }
  void SetSelected(int index, bool selected) override { seleccion.at(index) = selected; }
  void Clear() override {
    seleccion.clear();
    foco = -1;
  }
  void Add() override { seleccion.push_back(false); }
  void Delete(int index) override { seleccion.erase(seleccion.begin() + index); }
  void Repaint() override { ++repintados; }

  std::vector<bool> seleccion;
  int foco = -1;
  int repintados = 0;
};

}  // namespace testing_support
