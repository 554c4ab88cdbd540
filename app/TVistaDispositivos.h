// The device list as the program's commands see it: items index-aligned with DList, a focused
// item and a multiple selection. The window implements it with its list widget; tests may use
// a plain one.
#pragma once

class TVistaDispositivos {
 public:
  virtual ~TVistaDispositivos() = default;
  virtual int Count() const = 0;
  // Focused item, -1 when none.
  virtual int ItemIndex() const = 0;
  virtual void SetItemIndex(int index) = 0;
  virtual bool Selected(int index) const = 0;
  virtual void SetSelected(int index, bool selected) = 0;
  virtual void Clear() = 0;
  virtual void Add() = 0;
  virtual void Delete(int index) = 0;
  virtual void Repaint() = 0;
};
