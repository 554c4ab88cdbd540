#include "gui/ImagenesHerramientas.h"

#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <numbers>

namespace {

const QColor kRojo(200, 30, 30);
const QColor kVerde(30, 150, 50);
const QColor kAzul(40, 90, 170);
const QColor kAmarillo(235, 185, 60);
const QColor kGris(90, 90, 90);
const QColor kNaranja(230, 120, 20);

QPen Trazo(const QColor& color, qreal width) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Detener(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kRojo);
  p.drawRoundedRect(QRectF(6, 6, 20, 20), 3, 3);
}

void Continuar(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kVerde);
  p.drawPolygon(QPolygonF({QPointF(8, 5), QPointF(27, 16), QPointF(8, 27)}));
}

void CarpetaTrasera(QPainter& p) {
  p.setPen(Trazo(kGris, 1));
  p.setBrush(kAmarillo.darker(115));
  p.drawPolygon(QPolygonF({QPointF(3, 7), QPointF(12, 7), QPointF(14, 10), QPointF(27, 10),
                           QPointF(27, 26), QPointF(3, 26)}));
}

void Abrir(QPainter& p) {
  CarpetaTrasera(p);
  p.setBrush(kAmarillo);
  p.drawPolygon(QPolygonF({QPointF(7, 14), QPointF(31, 14), QPointF(27, 26), QPointF(3, 26)}));
}

void Guardar(QPainter& p) {
  p.setPen(Trazo(kAzul.darker(130), 1));
  p.setBrush(kAzul);
  p.drawPolygon(QPolygonF({QPointF(4, 4), QPointF(24, 4), QPointF(28, 8), QPointF(28, 28),
                           QPointF(4, 28)}));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(8, 4, 14, 9));
  p.setBrush(QColor(210, 210, 210));
  p.drawRect(QRectF(8, 18, 16, 10));
}

void Priorizar(QPainter& p) {
  p.setPen(Trazo(kNaranja.darker(130), 1));
  p.setBrush(kNaranja);
  p.drawPolygon(QPolygonF({QPointF(16, 3), QPointF(29, 16), QPointF(21, 16), QPointF(21, 29),
                           QPointF(11, 29), QPointF(11, 16), QPointF(3, 16)}));
}

void Cancelar(QPainter& p) {
  p.setPen(Trazo(kRojo, 5));
  p.drawLine(QPointF(7, 7), QPointF(25, 25));
  p.drawLine(QPointF(25, 7), QPointF(7, 25));
}

// An arc of the refresh circle with an arrowhead at its end; angles in degrees, counter-clockwise.
void Flecha(QPainter& p, int start, int span) {
  const QRectF circulo(6, 6, 20, 20);
  p.setPen(Trazo(kAzul, 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(circulo, start * 16, span * 16);
  const double fin = (start + span) * std::numbers::pi / 180;
  const QPointF punta(16 + 10 * std::cos(fin), 16 - 10 * std::sin(fin));
  const QPointF tangente(-std::sin(fin), -std::cos(fin));  // direction of travel
  const QPointF normal(tangente.y(), -tangente.x());
  p.setPen(Qt::NoPen);
  p.setBrush(kAzul);
  p.drawPolygon(QPolygonF({punta + tangente * 5, punta + normal * 5, punta - normal * 5}));
}

void Actualizar(QPainter& p) {
  Flecha(p, 20, 140);
  Flecha(p, 200, 140);
}

void Sumar(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kVerde);
  p.drawRect(QRectF(13, 4, 6, 24));
  p.drawRect(QRectF(4, 13, 24, 6));
}

void Restar(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kRojo);
  p.drawRect(QRectF(4, 13, 24, 6));
}

void Listar(QPainter& p) {
  p.setPen(Trazo(kGris, 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(6, 3, 20, 26));
  p.setPen(Trazo(kAzul, 2));
  for (int y = 9; y <= 24; y += 5) p.drawLine(QPointF(10, y), QPointF(22, y));
}

void Ajustes(QPainter& p) {
  constexpr int kDientes = 8;
  QPainterPath rueda;
  for (int i = 0; i < kDientes; ++i) {
    const double angulo = i * 2 * std::numbers::pi / kDientes;
    QPainterPath diente;
    diente.addRect(QRectF(-3, -14, 6, 6));
    rueda.addPath(QTransform().translate(16, 16).rotateRadians(angulo).map(diente));
  }
  rueda.addEllipse(QPointF(16, 16), 10, 10);
  QPainterPath agujero;
  agujero.addEllipse(QPointF(16, 16), 4, 4);
  p.setPen(Qt::NoPen);
  p.setBrush(kGris);
  p.drawPath(rueda.simplified().subtracted(agujero));
}

void Progreso(QPainter& p) {
  p.setPen(Trazo(kGris, 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3, 7, 26, 8));
  p.drawRect(QRectF(3, 18, 26, 8));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 210, 210));
  p.drawRect(QRectF(4, 8, 17, 7));
  p.drawRect(QRectF(4, 19, 9, 7));
}

void Verificar(QPainter& p) {
  Listar(p);
  p.setPen(Trazo(kVerde, 4));
  p.drawPolyline(QPolygonF({QPointF(12, 20), QPointF(17, 26), QPointF(29, 10)}));
}

using Dibujo = void (*)(QPainter&);
constexpr std::array<Dibujo, kNumImagenes> kDibujos = {
    Detener, Continuar, Abrir, Guardar, Priorizar, Cancelar,
    Actualizar, Sumar, Restar, Listar, Ajustes, Progreso, Verificar};

}  // namespace

QPixmap ImagenHerramienta(int index) {
  QPixmap imagen(kTallaImagen, kTallaImagen);
  imagen.fill(Qt::transparent);
  if (index >= 0 && index < kNumImagenes) {
    QPainter painter(&imagen);
    painter.setRenderHint(QPainter::Antialiasing);
    kDibujos[index](painter);
  }
  return imagen;
}
