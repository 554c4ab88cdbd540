// Draws the device list's items with the program's owner-drawn code: the item height from
// DListBoxMeasureItem, the item itself from DrawItem on a canvas over the view's painter.
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
