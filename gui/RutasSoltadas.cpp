#include "gui/RutasSoltadas.h"

#include <QMimeData>
#include <QSysInfo>

namespace {

// A "file:" URI names a file of this machine when it has no host, "localhost" or the
// machine's own name.
bool HostLocal(const QByteArray& host) {
  return host.isEmpty() || host.compare("localhost", Qt::CaseInsensitive) == 0 ||
         host.compare(QSysInfo::machineHostName().toUtf8(), Qt::CaseInsensitive) == 0;
}

}  // namespace

std::vector<std::string> RutasSoltadas(const QMimeData& datos) {
  // The list is read as the bytes it is: QUrl would turn an escaped byte that is not UTF-8
  // into a replacement character.
  std::vector<std::string> rutas;
  for (const QByteArray& linea : datos.data(QStringLiteral("text/uri-list")).split('\n')) {
    QByteArray uri = linea.trimmed();
    // Comment lines start with '#'; other schemes name no local file.
    if (!uri.toLower().startsWith("file:")) continue;
    uri.remove(0, 5);
    if (uri.startsWith("//")) {
      const qsizetype barra = uri.indexOf('/', 2);
      if (barra < 0 || !HostLocal(uri.mid(2, barra - 2))) continue;
      uri.remove(0, barra);
    }
    // A '?' or '#' that belongs to a name arrives escaped; a bare one ends the path.
    for (const char fin : {'?', '#'}) {
      const qsizetype i = uri.indexOf(fin);
      if (i >= 0) uri.truncate(i);
    }
    const QByteArray ruta = QByteArray::fromPercentEncoding(uri);
    if (ruta.startsWith('/')) rutas.emplace_back(ruta.constData(), ruta.size());
  }
  return rutas;
}
