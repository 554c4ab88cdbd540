// The rows of the device list: row i stands for the program's worker DList[i]. The rows hold no
// data; the delegate draws each from the program's state.
#pragma once

#include <QAbstractListModel>

class TModeloDispositivos final : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void Agregar();
  void Eliminar(int row);
  void Vaciar();

 private:
  int filas_ = 0;
};
