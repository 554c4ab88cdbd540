#include "gui/TCajaColor.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

#include "gui/ColoresQt.h"

TCajaColor::TCajaColor(std::atomic<platform::Color>& color, const QString& etiqueta,
                       QWidget* parent)
    : QWidget(parent), color_(color), etiqueta_(etiqueta) {
  setToolTip(QStringLiteral("Hacer clic para cambiar el color."));
}

void TCajaColor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColorQt(color_.load()));
  const QFontMetrics medidas = fontMetrics();
  const int x = (width() - medidas.horizontalAdvance(etiqueta_)) / 2;
  const int y = (height() - medidas.height()) / 2;
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(x, y + medidas.ascent(), etiqueta_);
}

// A click is a release over the box of a press on it.
void TCajaColor::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  const QColor elegido = QColorDialog::getColor(ColorQt(color_.load()), this);
  if (!elegido.isValid()) return;  // cancelled
  color_.store(ColorCanvas(elegido));
  update();
}
