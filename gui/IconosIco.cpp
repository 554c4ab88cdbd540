#include "gui/IconosIco.h"

#include <QBuffer>
#include <QFileIconProvider>
#include <QImageWriter>
#include <QPainter>
#include <map>
#include <memory>

#include "platform/drives.h"

namespace {

constexpr int kTallaIcono = 16;
constexpr int kTallaDibujo = 32;

// Through Qt's "ico" image format, which stores the colour image with its transparency mask.
std::string Ico(const QIcon& icono) {
  QImage imagen = icono.pixmap(kTallaIcono, kTallaIcono).toImage();
  if (imagen.isNull()) return {};
  // A high-density screen gives a larger pixmap; the page's icons are 16 x 16.
  if (imagen.size() != QSize(kTallaIcono, kTallaIcono)) {
    imagen = imagen.scaled(kTallaIcono, kTallaIcono, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!QImageWriter(&buffer, "ico").write(imagen)) return {};
  return bytes.toStdString();
}

QIcon IconoUnidad(std::uint32_t tipo) {
  const char* nombre = tipo == platform::DRIVE_REMOVABLE ? "drive-removable-media"
                       : tipo == platform::DRIVE_REMOTE  ? "folder-remote"
                                                         : "drive-harddisk";
  QIcon icono = QIcon::fromTheme(QString::fromLatin1(nombre));
  if (icono.isNull()) {
    icono = QFileIconProvider().icon(tipo == platform::DRIVE_REMOTE
                                         ? QAbstractFileIconProvider::Network
                                         : QAbstractFileIconProvider::Drive);
  }
  return icono;
}

// Immutable once made, so any thread may read it without a lock.
class TIconosIco final {
 public:
  TIconosIco(const QIcon& programa, std::string ruta_programa)
      : ruta_programa_(std::move(ruta_programa)), programa_(Ico(programa)) {
    for (const std::uint32_t tipo :
         {platform::DRIVE_REMOVABLE, platform::DRIVE_FIXED, platform::DRIVE_REMOTE}) {
      unidades_[tipo] = Ico(IconoUnidad(tipo));
    }
  }

  std::string Icono(const std::string& ruta) const {
    if (ruta == ruta_programa_) return programa_;
    const auto unidades = platform::CurrentDrives();
    platform::DriveEntry unidad;
    std::string resto;
    if (!unidades->DriveOf(ruta, &unidad, &resto) || !resto.empty()) return {};
    const auto icono = unidades_.find(unidades->GetDriveType(unidad.MountPoint));
    return icono == unidades_.end() ? std::string() : icono->second;
  }

 private:
  const std::string ruta_programa_;
  const std::string programa_;
  std::map<std::uint32_t, std::string> unidades_;  // by drive type
};

}  // namespace

QIcon IconoPrograma() {
  // A blue tile with an arrow pouring into three sticks.
  QImage imagen(kTallaDibujo, kTallaDibujo, QImage::Format_ARGB32_Premultiplied);
  imagen.fill(Qt::transparent);
  QPainter pintor(&imagen);
  pintor.setRenderHint(QPainter::Antialiasing);
  pintor.setPen(Qt::NoPen);
  pintor.setBrush(QColor(30, 100, 200));
  pintor.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
  pintor.setBrush(Qt::white);
  pintor.drawRect(QRectF(13, 4, 6, 7));
  pintor.drawPolygon(QPolygonF({QPointF(8, 11), QPointF(24, 11), QPointF(16, 18)}));
  for (const int x : {6, 14, 22}) pintor.drawRect(QRectF(x, 20, 4, 8));
  pintor.end();
  return QIcon(QPixmap::fromImage(imagen));
}

std::function<std::string(const std::string& ruta_linux)> CrearIconosIco(
    const QIcon& programa, const std::string& ruta_programa) {
  auto iconos = std::make_shared<const TIconosIco>(programa, ruta_programa);
  return [iconos](const std::string& ruta) { return iconos->Icono(ruta); };
}
