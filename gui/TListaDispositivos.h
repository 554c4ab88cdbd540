// The device list widget (DListBox): a multi-select list whose rows follow the program's
// commands through TVistaDispositivos and show its workers through TModeloDispositivos. It is
// the target of file drops.
#pragma once

#include <QListView>
#include <functional>
#include <string>
#include <vector>

#include "app/TVistaDispositivos.h"
#include "gui/TModeloDispositivos.h"

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
  // Takes fresh snapshots of the workers: the program asks for it after changing them.
  void Repaint() override;

  TModeloDispositivos& Modelo() { return *modelo_; }

  // Whether drops are taken now; without it they always are.
  std::function<bool()> AceptaArchivos;

 signals:
  // The local paths of a drop taken, in the order delivered.
  void ArchivosSoltados(const std::vector<std::string>& rutas);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Accepts a drag of files as a copy (the files stay where they are) or refuses it.
  bool Aceptar(QDropEvent* event) const;

  TModeloDispositivos* modelo_;  // child of the list
};
