#include "gui/TModeloDispositivos.h"

int TModeloDispositivos::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : filas_;
}

QVariant TModeloDispositivos::data(const QModelIndex&, int) const { return QVariant(); }

void TModeloDispositivos::Agregar() {
  beginInsertRows(QModelIndex(), filas_, filas_);
  ++filas_;
  endInsertRows();
}

void TModeloDispositivos::Eliminar(int row) {
  if (row < 0 || row >= filas_) return;
  beginRemoveRows(QModelIndex(), row, row);
  --filas_;
  endRemoveRows();
}

void TModeloDispositivos::Vaciar() {
  beginResetModel();
  filas_ = 0;
  endResetModel();
}
