// The rows of the device list: row i stands for the program's worker DList[i] and holds the
// snapshot that worker published when the row last looked. Rows look when they are added and
// when Actualizar is called (the window's timer and the program's repaints), always on the main
// thread: the workers never reach the list themselves.
#pragma once

#include <QAbstractListModel>
#include <functional>
#include <optional>
#include <vector>

#include "app/FilaDispositivo.h"
#include "engine/TDHilo.h"

Q_DECLARE_METATYPE(TInstantanea)
Q_DECLARE_METATYPE(TFila)

class TModeloDispositivos final : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Rol {
    // The row's TInstantanea; none for a row without a worker.
    RolInstantanea = Qt::UserRole + 1,
    // The row's TFila: the snapshot with its job's figures, as the delegate paints it.
    RolFila,
  };

  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // DisplayRole: the item's first line and its state. ToolTipRole: the name of the file under way, or none
  // so that the list's own hint shows.
  QVariant data(const QModelIndex& index, int role) const override;

  void Agregar();
  void Eliminar(int row);
  void Vaciar();
  // Every row takes its worker's snapshot afresh and the views are told.
  void Actualizar();

  // The worker of a row as the program holds it now, or null. Without it rows have no worker.
  std::function<const TDHilo*(int row)> HiloDeFila;
  // The row of a worker as the program makes it; without it, the row's job is everything the
  // worker counted.
  std::function<TFila(const TDHilo& hilo)> FilaDeHilo;

 private:
  std::optional<TFila> Foto(int row) const;

  // Index-aligned with the rows: a deleted row takes its snapshot with it, so that the rows
  // after it keep theirs while the program's list has not yet caught up.
  std::vector<std::optional<TFila>> fotos_;
};
