#include "gui/TModeloDispositivos.h"


int TModeloDispositivos::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fotos_.size());
}

QVariant TModeloDispositivos::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
    return QVariant();
  const std::optional<TFila>& fila = fotos_[index.row()];
  if (!fila) return QVariant();
  const TInstantanea* foto = &fila->Foto;
  switch (role) {
    case RolInstantanea:
      return QVariant::fromValue(*foto);
    case RolFila:
      return QVariant::fromValue(*fila);
    case Qt::DisplayRole:
      return QString::fromStdU16String(LineaFila(*fila) + u" - " +
                                       PalabraEstado(EstadoFila(*fila), foto->EsOrigen,
                                                     foto->Comprobacion.Verificado));
    case Qt::ToolTipRole: {
      const std::u16string& nombre =
          foto->EsOrigen ? foto->Muestra.ONombre : foto->Muestra.DNombre;
      if (nombre.empty()) return QVariant();
      return QString::fromStdU16String(nombre);
    }
    default:
      return QVariant();
  }
}

void TModeloDispositivos::Agregar() {
  const int row = rowCount();
  beginInsertRows(QModelIndex(), row, row);
  // The program adds a row once its worker is in place: the row shows it at once, not at the
  // next tick.
  fotos_.push_back(Foto(row));
  endInsertRows();
}

void TModeloDispositivos::Eliminar(int row) {
  if (row < 0 || row >= rowCount()) return;
  beginRemoveRows(QModelIndex(), row, row);
  fotos_.erase(fotos_.begin() + row);
  endRemoveRows();
}

void TModeloDispositivos::Vaciar() {
  beginResetModel();
  fotos_.clear();
  endResetModel();
}

void TModeloDispositivos::Actualizar() {
  const int rows = rowCount();
  if (rows == 0) return;
  for (int row = 0; row < rows; ++row) fotos_[row] = Foto(row);
  emit dataChanged(index(0), index(rows - 1),
                   {RolInstantanea, RolFila, Qt::DisplayRole, Qt::ToolTipRole});
}

std::optional<TFila> TModeloDispositivos::Foto(int row) const {
  const TDHilo* hilo = HiloDeFila ? HiloDeFila(row) : nullptr;
  if (hilo == nullptr) return std::nullopt;
  return FilaDeHilo ? FilaDeHilo(*hilo) : TFila::De(hilo->GetInstantanea());
}
