// The device list widget (DListBox): a multi-select list whose rows follow the program's
// commands through TVistaDispositivos.
#pragma once

#include <QListView>

#include "FormDUnit/TVistaDispositivos.h"
#include "FormDUnit/ventana/TModeloDispositivos.h"

class TListaDispositivos final : public QListView, public TVistaDispositivos {
  Q_OBJECT

 public:
  explicit TListaDispositivos(QWidget* parent = nullptr);

  int Count() const override;
  int ItemIndex() const override;
  // Moves the focus only; the selection stays as it is.
  void SetItemIndex(int index) override;
  bool Selected(int index) const override;
  void SetSelected(int index, bool selected) override;
  void Clear() override;
  void Add() override;
  void Delete(int index) override;
  void Repaint() override;

 private:
  TModeloDispositivos* modelo_;  // child of the list
};
