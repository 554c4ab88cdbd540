// The device list's rows as data: each row's snapshot, first line and file hint agree with its
// worker as it was when the row last looked, rows keep their snapshots as rows come and go, and
// the window's timer has every row look again.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/LineaDispositivo.h"
#include "gui/TFormDList.h"
#include "gui/TListaDispositivos.h"
#include "gui/TModeloDispositivos.h"
#include "tests/support/hilos_prueba.h"
#include "tests/window/unidades_prueba.h"

namespace {

using testing_support::OperacionInmediata;

constexpr int kRol = TModeloDispositivos::RolInstantanea;

TInstantanea FotoDe(const QModelIndex& indice) {
  return indice.data(kRol).value<TInstantanea>();
}

// The roles a refresh must announce, whatever order they come in.
bool AnunciaLosRoles(const QList<int>& roles) {
  return roles.contains(kRol) && roles.contains(TModeloDispositivos::RolFila) &&
         roles.contains(Qt::DisplayRole) &&
         roles.contains(Qt::ToolTipRole);
}

}  // namespace

class ModeloDispositivosTest : public QObject {
  Q_OBJECT

 private:
  // A destination of the shared source with work of its own, so that a test may move it on.
  std::shared_ptr<TDHilo> DestinoPropio(char16_t letra) {
    return hilos_->ConProgreso({u"PROPIO", std::u16string(1, letra), 10u + letra, 512, 4096}, 4000,
                               1000, u"a.bin",
                               100, 400);
  }

  // Workers stay as they are across tests unless a test makes its own: they are slow to bring
  // into their states.
  std::unique_ptr<testing_support::HilosPrueba> hilos_;
  std::vector<std::shared_ptr<TDHilo>> compartidos_;

  // What the program holds now, row by row; tests change it as the program would.
  std::vector<std::shared_ptr<TDHilo>> programa_;
  std::unique_ptr<TModeloDispositivos> modelo_;

 private slots:
  void initTestCase() {
    hilos_ = std::make_unique<testing_support::HilosPrueba>(std::make_shared<TEntorno>());
    auto origen = hilos_->Origen({u"FUENTE", u"D", 1, 512, 4096});
    origen->AddDFin(4000);
    // A source reads: its hint is the name on the source drive, not the one it is copied to.
    auto lectura = std::make_unique<OperacionInmediata>(hilos_->contadores, 2000);
    lectura->ONombre = u"D:\\fotos\\mar.jpg";
    lectura->DNombre = u"mar.jpg";
    origen->AgregarIO(std::move(lectura));
    QVERIFY(testing_support::Esperar(
        [&] { return origen->GetDPos() == 2000 && origen->GetDFin() == 4000; }));
    compartidos_ = {
        origen,
        hilos_->ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000, u"a.bin", 300, 400),
        hilos_->EnError({u"MALO", u"F", 3, 512, 4096}, u"b.bin", 8000, 4000, 8000),
    };
  }

  void cleanupTestCase() {
    compartidos_.clear();
    hilos_.reset();
  }

  void init() {
    programa_ = compartidos_;
    modelo_ = std::make_unique<TModeloDispositivos>();
    // Checks every change the model announces against what it then answers.
    new QAbstractItemModelTester(modelo_.get(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 modelo_.get());
    modelo_->HiloDeFila = [this](int fila) -> const TDHilo* {
      return fila >= 0 && fila < static_cast<int>(programa_.size()) ? programa_[fila].get()
                                                                      : nullptr;
    };
  }

  void cleanup() { modelo_.reset(); }

  void filaSegunSuHilo_data() {
    QTest::addColumn<int>("fila");
    QTest::addColumn<QString>("cabeza");
    QTest::addColumn<QString>("hecho");
    QTest::addColumn<QString>("archivo");
    QTest::newRow("origen a medias") << 0 << QStringLiteral("FUENTE (D) ") << QStringLiteral(" 50% ")
                                     << QStringLiteral("D:\\fotos\\mar.jpg");
    QTest::newRow("destino con un archivo en curso")
        << 1 << QStringLiteral("STICK (E) ") << QStringLiteral(" 25% ") << QStringLiteral("a.bin");
    QTest::newRow("destino en error")
        << 2 << QStringLiteral("MALO (F) ") << QStringLiteral(" 0% ") << QStringLiteral("b.bin");
  }

  // A row shows its worker from the moment it is added, without waiting for a tick.
  void filaSegunSuHilo() {
    QFETCH(int, fila);
    QFETCH(QString, cabeza);
    QFETCH(QString, hecho);
    QFETCH(QString, archivo);
    for (std::size_t i = 0; i < programa_.size(); ++i) modelo_->Agregar();
    const QModelIndex indice = modelo_->index(fila);
    QVERIFY(indice.data(kRol).canConvert<TInstantanea>());

    const TInstantanea foto = FotoDe(indice);
    const TInstantanea hilo = programa_[fila]->GetInstantanea();
    QVERIFY(foto.HRec.Letra == hilo.HRec.Letra);
    QCOMPARE(QString::fromStdU16String(foto.HRec.Nombre),
             QString::fromStdU16String(hilo.HRec.Nombre));
    QCOMPARE(foto.EsOrigen, hilo.EsOrigen);
    QCOMPARE(int(foto.Estado), int(hilo.Estado));
    QCOMPARE(foto.DPos, hilo.DPos);
    QCOMPARE(foto.DFin, hilo.DFin);
    QCOMPARE(foto.LEC, hilo.LEC);
    QCOMPARE(foto.Muestra.FPos, hilo.Muestra.FPos);
    QCOMPARE(foto.Muestra.FTalla, hilo.Muestra.FTalla);

    const QString linea = indice.data(Qt::DisplayRole).toString();
    const TFila propia = TFila::De(hilo);
    QCOMPARE(linea, QString::fromStdU16String(LineaFila(propia) + u" - " +
                                              PalabraEstado(EstadoFila(propia), hilo.EsOrigen,
                                                            hilo.Comprobacion.Verificado)));
    QVERIFY(indice.data(TModeloDispositivos::RolFila).canConvert<TFila>());
    QVERIFY2(linea.startsWith(cabeza) && linea.contains(hecho), qPrintable(linea));
    QCOMPARE(indice.data(Qt::ToolTipRole).toString(), archivo);
  }

  // Rows the program adds before it has the worker, or after it has let it go, show nothing
  // rather than another row's worker.
  void filaSinHilo() {
    programa_.resize(1);
    modelo_->Agregar();
    modelo_->Agregar();
    const QModelIndex sin_hilo = modelo_->index(1);
    for (int rol : {kRol, int(Qt::DisplayRole), int(Qt::ToolTipRole)})
      QVERIFY2(!sin_hilo.data(rol).isValid(), qPrintable(QString::number(rol)));
    QVERIFY(FotoDe(modelo_->index(0)).HRec.Letra == u"D");
  }

  // Cancelling with a source deletes rows before the program's list drops their workers: the
  // rows after a deleted one keep their own snapshots all the same.
  void borrarUnaFilaSeLlevaSuInstantanea() {
    for (std::size_t i = 0; i < programa_.size(); ++i) modelo_->Agregar();
    modelo_->Eliminar(1);
    QCOMPARE(modelo_->rowCount(), 2);
    QVERIFY(FotoDe(modelo_->index(0)).HRec.Letra == u"D");
    QVERIFY(FotoDe(modelo_->index(1)).HRec.Letra == u"F");
    QCOMPARE(modelo_->index(1).data(Qt::ToolTipRole).toString(), QStringLiteral("b.bin"));

    programa_.erase(programa_.begin() + 1);
    modelo_->Actualizar();
    QVERIFY(FotoDe(modelo_->index(1)).HRec.Letra == u"F");

    modelo_->Vaciar();
    QCOMPARE(modelo_->rowCount(), 0);
    QSignalSpy cambios(modelo_.get(), &QAbstractItemModel::dataChanged);
    modelo_->Actualizar();
    QCOMPARE(cambios.count(), 0);
  }

  // Actualizar takes every row's snapshot afresh and announces all the rows at once.
  void actualizarTomaInstantaneasNuevas() {
    auto propio = DestinoPropio(u'G');
    programa_.push_back(propio);
    for (std::size_t i = 0; i < programa_.size(); ++i) modelo_->Agregar();
    const int fila = modelo_->rowCount() - 1;
    QCOMPARE(FotoDe(modelo_->index(fila)).DPos, 1000);

    auto op = std::make_unique<OperacionInmediata>(hilos_->contadores, 2000);
    op->DNombre = u"c.bin";
    op->FPos = 50;
    op->FTalla = 200;
    propio->AgregarIO(std::move(op));
    QVERIFY(testing_support::Esperar(
        [&] { return propio->GetDPos() == 3000 && propio->GetMuestra().FTalla == 200; }));

    QSignalSpy cambios(modelo_.get(), &QAbstractItemModel::dataChanged);
    modelo_->Actualizar();
    QCOMPARE(cambios.count(), 1);
    QCOMPARE(cambios[0][0].toModelIndex(), modelo_->index(0));
    QCOMPARE(cambios[0][1].toModelIndex(), modelo_->index(fila));
    QVERIFY(AnunciaLosRoles(cambios[0][2].value<QList<int>>()));

    const QModelIndex indice = modelo_->index(fila);
    QCOMPARE(FotoDe(indice).DPos, 3000);
    QCOMPARE(FotoDe(indice).Muestra.FPos, 50);
    const QString linea = indice.data(Qt::DisplayRole).toString();
    QVERIFY2(linea.startsWith(QStringLiteral("PROPIO (G) ")) && linea.contains(" 75% "),
             qPrintable(linea));
    QCOMPARE(indice.data(Qt::ToolTipRole).toString(), QStringLiteral("c.bin"));
  }

  // In the window the timer's tick refreshes every row after the program's own tick: the rows
  // carry the speeds it has just sampled.
  void elTemporizadorRefrescaLasFilas() {
    TUnidadesPrueba unidades;
    auto ventana = std::make_unique<TFormDList>();
    TPrograma& programa = ventana->Programa();
    auto* lista = ventana->findChild<TListaDispositivos*>(QStringLiteral("DListBox"));
    QVERIFY(lista);
    // Workers of the test's own: the tick samples the speed of every worker the program holds.
    auto quieto = DestinoPropio(u'H');
    auto movido = DestinoPropio(u'I');
    lista->Clear();
    programa.DList = {quieto, movido};
    for (std::size_t i = 0; i < programa.DList.size(); ++i) lista->Add();
    TModeloDispositivos& modelo = lista->Modelo();

    movido->AgregarIO(std::make_unique<OperacionInmediata>(hilos_->contadores, 1000));
    QVERIFY(testing_support::Esperar([&] { return movido->GetDPos() == 2000; }));
    QCOMPARE(FotoDe(modelo.index(1)).DPos, 1000);

    QSignalSpy cambios(&modelo, &QAbstractItemModel::dataChanged);
    QVERIFY(cambios.wait(2000));
    QCOMPARE(cambios[0][0].toModelIndex(), modelo.index(0));
    QCOMPARE(cambios[0][1].toModelIndex(), modelo.index(1));
    QVERIFY(AnunciaLosRoles(cambios[0][2].value<QList<int>>()));
    QCOMPARE(FotoDe(modelo.index(1)).DPos, 2000);
    QVERIFY(FotoDe(modelo.index(1)).Velocidad.BytesSegundo > 0);
    // The row is the program's: its job's figures and its state.
    const TFila fila = programa.Fila(*movido);
    QCOMPARE(modelo.index(1).data(Qt::DisplayRole).toString(),
             QString::fromStdU16String(LineaFila(fila) + u" - " +
                                       PalabraEstado(EstadoFila(fila), false,
                                                     fila.Foto.Comprobacion.Verificado)));

    // The workers are the test's: the window lets go of them before it closes.
    programa.DList.clear();
    lista->Clear();
  }
};

QTEST_MAIN(ModeloDispositivosTest)
#include "modelo_dispositivos_test.moc"
