// The rows of the device list: row i stands for the program's worker DList[i] and holds the
// snapshot that worker published when the row last looked. Rows look when they are added and
// when Actualizar is called (the window's timer and the program's repaints), always on the main
// thread: the workers never reach the list themselves.
#pragma once

#include <QAbstractListModel>
#include <functional>
#include <optional>
#include <vector>

#include "engine/TDHilo.h"

Q_DECLARE_METATYPE(TInstantanea)

class TModeloDispositivos final : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Rol {
    // The row's TInstantanea; none for a row without a worker.
    RolInstantanea = Qt::UserRole + 1,
  };

  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // DisplayRole: the item's first line. ToolTipRole: the name of the file under way, or none
  // so that the list's own hint shows.
  QVariant data(const QModelIndex& index, int role) const override;

  void Agregar();
  void Eliminar(int row);
  void Vaciar();
  // Every row takes its worker's snapshot afresh and the views are told.
  void Actualizar();

  // The worker of a row as the program holds it now, or null. Without it rows have no worker.
  std::function<const TDHilo*(int row)> HiloDeFila;

 private:
  std::optional<TInstantanea> Foto(int row) const;

  // Index-aligned with the rows: a deleted row takes its snapshot with it, so that the rows
  // after it keep theirs while the program's list has not yet caught up.
  std::vector<std::optional<TInstantanea>> fotos_;
};
