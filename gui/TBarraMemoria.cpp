#include "gui/TBarraMemoria.h"

#include <QPainter>
#include <QResizeEvent>

#include "app/TPrograma.h"
#include "gui/QtCanvas.h"

TBarraMemoria::TBarraMemoria(TPrograma& programa, QWidget* parent)
    : QWidget(parent), programa_(programa) {}

void TBarraMemoria::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  QtCanvas canvas(painter);
  programa_.PBMemoriaPaint(canvas, width(), height());
}

void TBarraMemoria::resizeEvent(QResizeEvent* event) {
  programa_.AnchoBarraMemoria = event->size().width();
  QWidget::resizeEvent(event);
}
