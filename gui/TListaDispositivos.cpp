#include "gui/TListaDispositivos.h"

#include <QDropEvent>
#include <QMimeData>

#include "gui/RutasSoltadas.h"

TListaDispositivos::TListaDispositivos(QWidget* parent)
    : QListView(parent), modelo_(new TModeloDispositivos(this)) {
  setModel(modelo_);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformItemSizes(false);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
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

void TListaDispositivos::Repaint() { modelo_->Actualizar(); }

bool TListaDispositivos::Aceptar(QDropEvent* event) const {
  const bool acepta = event->mimeData()->hasUrls() &&
                      (event->possibleActions() & Qt::CopyAction) &&
                      (!AceptaArchivos || AceptaArchivos());
  if (acepta) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
  return acepta;
}

void TListaDispositivos::dragEnterEvent(QDragEnterEvent* event) { Aceptar(event); }

void TListaDispositivos::dragMoveEvent(QDragMoveEvent* event) { Aceptar(event); }

void TListaDispositivos::dropEvent(QDropEvent* event) {
  if (!Aceptar(event)) return;
  const std::vector<std::string> rutas = RutasSoltadas(*event->mimeData());
  if (!rutas.empty()) emit ArchivosSoltados(rutas);
}
