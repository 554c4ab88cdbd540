#include "FormDUnit/ventana/TCajaColor.h"

#include <QPainter>

#include "FormDUnit/ventana/ColoresQt.h"

TCajaColor::TCajaColor(const std::atomic<platform::Color>& color, QWidget* parent)
    : QWidget(parent), color_(color) {}

void TCajaColor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColorQt(color_.load()));
}
