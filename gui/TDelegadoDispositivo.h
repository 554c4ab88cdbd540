// Draws the device list's items with the program's owner-drawn code: the item height from
// DListBoxMeasureItem, the item itself from the row's snapshot (RolInstantanea) through
// PintarDispositivo, on a canvas over the view's painter. The colours are the program's, read
// at each paint so that a change of the settings shows at the next one.
#pragma once

#include <QStyledItemDelegate>

class TPrograma;

class TDelegadoDispositivo final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  TDelegadoDispositivo(TPrograma& programa, QObject* parent);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TPrograma& programa_;
};
