#include "gui/TDelegadoDispositivo.h"

#include <QImage>
#include <QPainter>

#include "app/PintarDispositivo.h"
#include "app/TPrograma.h"
#include "gui/QtCanvas.h"
#include "gui/TModeloDispositivos.h"

namespace {

// A selected item's text is near white whatever the palette's highlighted text is, where that
// is legible.
constexpr platform::Color kLetraResaltada = platform::Rgb(247, 255, 255);

}  // namespace

TDelegadoDispositivo::TDelegadoDispositivo(TPrograma& programa, QObject* parent)
    : QStyledItemDelegate(parent), programa_(programa) {}

void TDelegadoDispositivo::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  // A model that gives only the snapshot has its row's job be everything the worker counted.
  const QVariant valor = index.data(TModeloDispositivos::RolFila);
  const QVariant foto = valor.isValid() ? valor : index.data(TModeloDispositivos::RolInstantanea);
  // A row whose worker the program no longer holds has nothing to show.
  if (!foto.isValid()) return;
  const TFila fila = valor.isValid() ? valor.value<TFila>() : TFila::De(foto.value<TInstantanea>());
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  const QRect& r = option.rect;
  painter->save();
  painter->setFont(option.font);
  QtCanvas canvas(*painter);
  canvas.SetBrushColor(selected ? programa_.ColorResaltado : programa_.ColorLista);
  // The preferred text colour; the painting keeps it only where it is legible.
  canvas.SetFontColor(selected ? kLetraResaltada : programa_.ColorTexto);
  PintarDispositivo(fila, programa_.Colores, canvas,
                    platform::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
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
