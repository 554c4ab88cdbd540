#include "gui/TDelegadoDispositivo.h"

#include <QImage>
#include <QPainter>

#include "app/TPrograma.h"
#include "gui/QtCanvas.h"

TDelegadoDispositivo::TDelegadoDispositivo(TPrograma& programa, QObject* parent)
    : QStyledItemDelegate(parent), programa_(programa) {}

void TDelegadoDispositivo::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  const QRect& r = option.rect;
  painter->save();
  painter->setFont(option.font);
  QtCanvas canvas(*painter);
  canvas.SetBrushColor(selected ? programa_.ColorResaltado : programa_.ColorLista);
  programa_.DrawItem(index.row(), canvas,
                     platform::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()},
                     selected);
  painter->restore();
}

QSize TDelegadoDispositivo::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex&) const {
  // Measuring needs only the font, but the canvas measures through a painter.
  QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&scratch);
  painter.setFont(option.font);
  QtCanvas canvas(painter);
  // The list stretches every item to its width.
  return QSize(0, programa_.DListBoxMeasureItem(canvas));
}
