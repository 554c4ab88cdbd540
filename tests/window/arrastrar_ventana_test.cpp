// Files dropped on the real window, offscreen, as a Linux file manager drops them: a
// text/uri-list of folders on a loop-mounted source, copied to loop-mounted destinations.
#include <QMimeData>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "gui/ImagenesHerramientas.h"
#include "gui/TFormDList.h"
#include "gui/TListaDispositivos.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/granja.h"
#include "tests/support/unidades_volumenes.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CompararArboles;

// A folder name that is not UTF-8: the drop must carry its bytes as they are.
const std::string kRaro = "\xff" "raro";

// The text/uri-list of a file manager's drop: one escaped "file://" URI per line.
void PonerRutas(QMimeData& datos, const std::vector<fs::path>& rutas) {
  QByteArray lista;
  for (const auto& ruta : rutas) {
    lista += "file://" + QByteArray::fromStdString(ruta).toPercentEncoding("/") + "\r\n";
  }
  datos.setData(QStringLiteral("text/uri-list"), lista);
}

bool MismaImagen(const QIcon& icono, int image_index) {
  return icono.pixmap(kTallaImagen, kTallaImagen).toImage() ==
         ImagenHerramienta(image_index).toImage();
}

}  // namespace

class ArrastrarVentanaTest : public QObject {
  Q_OBJECT

 private:
  fs::path Raiz(char16_t letra) const { return unidades_->Raiz(std::u16string(1, letra)); }
  TPrograma& Programa() { return ventana_->Programa(); }
  TListaDispositivos* Lista() { return ventana_->findChild<TListaDispositivos*>("DListBox"); }
  QToolButton* Boton(const char* nombre) { return ventana_->findChild<QToolButton*>(nombre); }
  void Seleccionar(std::initializer_list<char16_t> letras) {
    const auto& hilos = Programa().DList;
    for (std::size_t i = 0; i < hilos.size(); ++i) {
      const std::u16string letra = hilos[i]->GetAppRec().Letra;
      Lista()->SetSelected(static_cast<int>(i),
                           letra.size() == 1 &&
                               std::find(letras.begin(), letras.end(), letra[0]) != letras.end());
    }
  }
  // Sends a drop of these paths to the list's viewport; true when the list took it.
  bool Soltar(const std::vector<fs::path>& rutas) {
    QMimeData datos;
    PonerRutas(datos, rutas);
    QWidget* destino = Lista()->viewport();
    const QPoint punto = destino->rect().center();
    QDragEnterEvent entrada(punto, Qt::CopyAction | Qt::MoveAction, &datos, Qt::LeftButton,
                            Qt::NoModifier);
    QCoreApplication::sendEvent(destino, &entrada);
    if (!entrada.isAccepted()) return false;
    QDropEvent soltar(punto, Qt::CopyAction | Qt::MoveAction, &datos, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(destino, &soltar);
    // A copy: the file manager must never take the dropped files away.
    return soltar.isAccepted() && soltar.dropAction() == Qt::CopyAction;
  }

  std::unique_ptr<testing_support::UnidadesEnVolumenes> unidades_;
  std::unique_ptr<TFormDList> ventana_;

 private slots:
  void init() {
    unidades_ = std::make_unique<testing_support::UnidadesEnVolumenes>(
        std::vector<testing_support::UnidadesEnVolumenes::Unidad>{
            {u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"CUATRO", 0xF0, 4096}});
    if (!unidades_->ok()) QSKIP(unidades_->error().c_str());
    const fs::path fotos = Raiz(u'D') / "Fotos";
    testing_support::EscribirAzar(fotos / "Viaje/a.bin", (2 << 20) + 513, 1);
    testing_support::EscribirAzar(fotos / "Viaje/sub/b.txt", 700, 2);
    testing_support::EscribirAzar(fotos / kRaro / "c.bin", 5000, 3);
    testing_support::EscribirAzar(fotos / "otro.txt", 10, 4);
    ventana_ = std::make_unique<TFormDList>();
    QCOMPARE(Programa().DList.size(), 3u);
    QVERIFY(testing_support::EsperarIdentidades(Programa().DList));
  }

  void cleanup() {
    std::vector<std::shared_ptr<TDHilo>> hilos;
    if (ventana_) hilos = Programa().DList;
    ventana_.reset();
    for (const auto& hilo : hilos) QTRY_VERIFY(hilo->Finished());
    unidades_.reset();
  }

  void dropCopiesFoldersToTheSelectedDrives_data() {
    QTest::addColumn<bool>("caminoOrigen");
    QTest::newRow("con el camino del origen") << true;
    QTest::newRow("sin el camino del origen") << false;
  }

  void dropCopiesFoldersToTheSelectedDrives() {
    QFETCH(bool, caminoOrigen);
    Programa().UsarCaminoOrigen = caminoOrigen;
    Seleccionar({u'E', u'F'});
    const fs::path fotos = Raiz(u'D') / "Fotos";
    QVERIFY(Soltar({fotos / "Viaje", fotos / kRaro}));
    QTRY_VERIFY(Programa().OCopia != nullptr);

    QCOMPARE(ventana_->windowTitle(),
             QString::fromStdU16String(NombrePrograma()) + " leyendo desde [FUENTE]");
    QCOMPARE(Boton("ToolButtonAbrirGuardar")->toolTip(), QStringLiteral("Guardar"));
    QVERIFY(MismaImagen(Boton("ToolButtonAbrirGuardar")->icon(), 3));
    QVERIFY(Boton("ToolButtonContinuarDetener")->isEnabled());

    QVERIFY(testing_support::EsperarTrabajos(Programa().DList));
    for (char16_t letra : {u'E', u'F'}) {
      const fs::path destino = caminoOrigen ? Raiz(letra) / "Fotos" : Raiz(letra);
      QCOMPARE(CompararArboles(fotos / "Viaje", destino / "Viaje"), std::string());
      QCOMPARE(CompararArboles(fotos / kRaro, destino / kRaro), std::string());
      QVERIFY(!fs::exists(destino / "otro.txt"));
    }
  }

  void deleteModeLastsOneDrop() {
    Seleccionar({u'E', u'F'});
    const fs::path viaje = Raiz(u'D') / "Fotos/Viaje";
    QVERIFY(Soltar({viaje}));
    QTRY_VERIFY(Programa().OCopia != nullptr);
    QVERIFY(testing_support::EsperarTrabajos(Programa().DList));
    QVERIFY(fs::exists(Raiz(u'E') / "Fotos/Viaje/sub/b.txt"));

    QToolButton* modo = Boton("ToolButtonSumarRestar");
    QTest::mouseClick(modo, Qt::LeftButton);
    QCOMPARE(modo->toolTip(), QStringLiteral("Al arrastar eliminar."));
    QVERIFY(MismaImagen(modo->icon(), 8));
    Seleccionar({u'E'});
    QVERIFY(Soltar({viaje}));
    QTRY_COMPARE(modo->toolTip(), QStringLiteral("Al arrastrar agregar."));
    QVERIFY(MismaImagen(modo->icon(), 7));
    QVERIFY(!fs::exists(Raiz(u'E') / "Fotos/Viaje"));
    QCOMPARE(CompararArboles(viaje, Raiz(u'F') / "Fotos/Viaje"), std::string());
  }

  void aDisabledToolbarRefusesDropsAndClicks() {
    Seleccionar({u'E'});
    Programa().ToolbarEnabled = false;
    QVERIFY(!Soltar({Raiz(u'D') / "Fotos/Viaje"}));
    // Not even a drop that skipped the entry is taken.
    QMimeData datos;
    PonerRutas(datos, {Raiz(u'D') / "Fotos/Viaje"});
    QDropEvent soltar(QPointF(5, 5), Qt::CopyAction, &datos, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Lista()->viewport(), &soltar);
    QVERIFY(!soltar.isAccepted());
    QCoreApplication::processEvents();
    QCOMPARE(Programa().OCopia, nullptr);
    QCOMPARE(ventana_->windowTitle(), QString::fromStdU16String(NombrePrograma()));
    // Nor a click that reaches a button before the window shows it disabled.
    Boton("ToolButtonSumarRestar")->click();
    QCOMPARE(Programa().Botones[ToolButtonSumarRestar].ImageIndex, 7);
  }

  // Closed in the middle of a copy: it asks, then shows its wait while every worker ends and
  // deletes the copy it had under way, and only then lets the window go.
  void closingMidCopyAsksAndShowsTheWaitForTheWorkers() {
    testing_support::FallosTransferencia fallos;
    fallos.Colgar(Raiz(u'E').string());
    // The hung write is given up after this, as a stick that stops answering is.
    Programa().Entorno->TiempoError = 2000;
    Seleccionar({u'E', u'F'});
    QVERIFY(Soltar({Raiz(u'D') / "Fotos/Viaje"}));
    QTRY_VERIFY(fallos.colgadas() >= 1);
    int preguntas = 0;
    Programa().Confirmar = [&](const std::u16string&) { return ++preguntas > 0; };
    bool espera_vista = false;
    QTimer::singleShot(0, ventana_.get(), [&] {
      const auto* espera = ventana_->findChild<QProgressDialog*>(QStringLiteral("EsperaCierre"));
      espera_vista = espera != nullptr && espera->isVisible();
    });
    const std::vector<std::shared_ptr<TDHilo>> hilos = Programa().DList;
    QVERIFY(ventana_->close());
    QCOMPARE(preguntas, 1);
    QVERIFY(espera_vista);
    for (const auto& hilo : hilos) QVERIFY(hilo->Finished());
    fallos.Liberar();
    for (const auto& entrada : fs::recursive_directory_iterator(Raiz(u'E'))) {
      if (!entrada.is_regular_file()) continue;
      const fs::path relativo = fs::relative(entrada.path(), Raiz(u'E'));
      QVERIFY2(testing_support::MismoContenido(entrada.path(), Raiz(u'D') / "Fotos" / relativo),
               relativo.c_str());
    }
  }
};

QTEST_MAIN(ArrastrarVentanaTest)
#include "arrastrar_ventana_test.moc"
