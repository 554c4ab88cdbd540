// Screenshots of the window for the README, made on the offscreen platform so that they stay
// current: a fake drive table with a source and four sticks, whose workers are brought into
// different states (reading, done, writing, failed, queued) by test operations. Writes
// ventana.png, aviso.png and ajustes.png into the folder given as the only argument.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <memory>

#include "gui/TFormDList.h"
#include "gui/TListaDispositivos.h"
#include "tests/support/esperar.h"
#include "tests/support/operaciones_prueba.h"
#include "tests/window/unidades_prueba.h"

namespace {

using testing_support::Esperar;
using testing_support::OperacionColgada;
using testing_support::OperacionInmediata;

constexpr std::int64_t kMiB = 1 << 20;
constexpr std::int64_t kTrabajo = 3800 * kMiB;

bool Guardar(QWidget& widget, const QString& carpeta, const QString& nombre) {
  QApplication::processEvents();
  const QString ruta = QDir(carpeta).filePath(nombre);
  if (!widget.grab().save(ruta)) {
    std::fprintf(stderr, "capturas: cannot write %s\n", qPrintable(ruta));
    return false;
  }
  std::printf("%s\n", qPrintable(ruta));
  return true;
}

// Waits while the window's timer ticks.
void Pausa(int ms) { QTest::qWait(ms); }

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: capturas FOLDER\n");
    return 2;
  }
  const QString carpeta = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(carpeta);

  TUnidadesPrueba unidades;
  unidades.Poner(u'D', 0xD0, u"FOTOS 2016");
  unidades.Poner(u'E', 0xE0, u"MEMORIA 1");
  unidades.Poner(u'F', 0xF0, u"MEMORIA 2");
  unidades.Poner(u'G', 0x60, u"MEMORIA 3");
  unidades.Poner(u'H', 0x70, u"MEMORIA 4");
  bool ok = true;
  {
    TFormDList ventana;
    ventana.show();
    if (!QTest::qWaitForWindowExposed(&ventana)) return 1;
    TPrograma& programa = ventana.Programa();
    auto* lista = ventana.findChild<TListaDispositivos*>(QStringLiteral("DListBox"));
    // The colours every installation starts with, whatever settings lie beside this program;
    // and none written there on closing.
    const TColores colores;
    programa.Colores.ColorOrigen = colores.ColorOrigen.load();
    programa.Colores.ColorDestino = colores.ColorDestino.load();
    programa.Colores.ColorError = colores.ColorError.load();
    programa.RutaConfiguracion.clear();

    // A first drop with nothing selected: the program names the source and asks for sticks.
    programa.Aviso =
        u"Origen: FOTOS 2016 (D). No hay memorias de destino seleccionadas: seleccione una o "
        u"más y vuelva a arrastrar los archivos.";
    Pausa(400);
    ok = Guardar(ventana, carpeta, QStringLiteral("aviso.png")) && ok;
    programa.Aviso.clear();

    // The drives' own workers in the states of a copy under way, moved by test operations.
    auto& hilos = programa.DList;
    if (hilos.size() != 5) return 1;
    auto origen = hilos[0], hecho = hilos[1], escribiendo = hilos[2], malo = hilos[3],
         en_cola = hilos[4];
    programa.AsignarOrigen(origen);
    testing_support::Contadores contadores;
    const auto operacion = [&](TDHilo& hilo, std::int64_t bytes, bool colgada) {
      std::unique_ptr<OperacionInmediata> op =
          colgada ? std::make_unique<OperacionColgada>(contadores, bytes)
                  : std::make_unique<OperacionInmediata>(contadores, bytes);
      op->ONombre = op->DNombre = u"Fotos\\Viaje\\IMG_0413.JPG";
      op->FPos = 3 * kMiB;
      op->FTalla = 5 * kMiB;
      op->FStr = {5 * kMiB, 60};
      hilo.AgregarIO(std::move(op));
    };
    for (auto& hilo : hilos) hilo->AddDFin(kTrabajo);
    operacion(*hecho, kTrabajo, false);
    // A stick that stopped answering while it wrote a file.
    programa.Entorno->TiempoError = 300;
    operacion(*malo, 0, true);
    if (!Esperar([&] { return malo->GetLEC() != 0 && hecho->GetDPos() == kTrabajo; })) return 1;
    programa.Entorno->TiempoError = 3600000;
    // Most of the job done some seconds ago, and 60 MiB over the last three: 20 MiB a second.
    for (auto& hilo : {origen, escribiendo}) operacion(*hilo, 2200 * kMiB, false);
    Pausa(3500);
    for (auto& hilo : {origen, escribiendo}) {
      operacion(*hilo, 60 * kMiB, false);
      operacion(*hilo, 0, true);
    }
    for (auto& hilo : hilos) hilo->GetEspacioLibre();
    Pausa(1000);
    lista->SetSelected(2, true);
    ok = Guardar(ventana, carpeta, QStringLiteral("ventana.png")) && ok;

    for (QToolButton* boton : ventana.findChildren<QToolButton*>()) {
      if (boton->objectName() == QStringLiteral("ToolButtonAjusteProgreso")) boton->click();
    }
    Pausa(400);
    ok = Guardar(ventana, carpeta, QStringLiteral("ajustes.png")) && ok;

  }
  return ok ? 0 : 1;
}
