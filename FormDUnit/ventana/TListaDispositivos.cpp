#include "FormDUnit/ventana/TListaDispositivos.h"

TListaDispositivos::TListaDispositivos(QWidget* parent)
    : QListView(parent), modelo_(new TModeloDispositivos(this)) {
  setModel(modelo_);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformItemSizes(false);
}

int TListaDispositivos::Count() const { return modelo_->rowCount(); }

int TListaDispositivos::ItemIndex() const { return currentIndex().row(); }

void TListaDispositivos::SetItemIndex(int index) {
  selectionModel()->setCurrentIndex(modelo_->index(index), QItemSelectionModel::NoUpdate);
}

bool TListaDispositivos::Selected(int index) const {
  return selectionModel()->isSelected(modelo_->index(index));
}

void TListaDispositivos::SetSelected(int index, bool selected) {
  const QModelIndex item = modelo_->index(index);
  if (!item.isValid()) return;
  selectionModel()->select(item, selected ? QItemSelectionModel::Select
                                          : QItemSelectionModel::Deselect);
}

void TListaDispositivos::Clear() { modelo_->Vaciar(); }

void TListaDispositivos::Add() { modelo_->Agregar(); }

void TListaDispositivos::Delete(int index) { modelo_->Eliminar(index); }

void TListaDispositivos::Repaint() { viewport()->update(); }
