// The device list as the program's commands drive it: focus, multiple selection, rows that
// follow Add/Delete/Clear, and the hints: the file under way over its item, else the list's.
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include "gui/TListaDispositivos.h"
#include "tests/support/hilos_prueba.h"

class ListaDispositivosTest : public QObject {
  Q_OBJECT

 private:
  static void Agregar(TVistaDispositivos& vista, int n) {
    for (int i = 0; i < n; ++i) vista.Add();
  }
  static QList<int> Seleccionados(const TVistaDispositivos& vista) {
    QList<int> filas;
    for (int i = 0; i < vista.Count(); ++i)
      if (vista.Selected(i)) filas << i;
    return filas;
  }

 private slots:
  void elFocoNoSelecciona() {
    TListaDispositivos lista;
    Agregar(lista, 3);
    QCOMPARE(lista.ItemIndex(), -1);
    lista.SetItemIndex(2);
    QCOMPARE(lista.ItemIndex(), 2);
    QCOMPARE(Seleccionados(lista), QList<int>());
    lista.SetSelected(0, true);
    QCOMPARE(lista.ItemIndex(), 2);
    lista.SetItemIndex(-1);
    QCOMPARE(lista.ItemIndex(), -1);
    QCOMPARE(Seleccionados(lista), QList<int>({0}));
  }

  void seleccionMultiple() {
    TListaDispositivos lista;
    Agregar(lista, 4);
    lista.SetSelected(0, true);
    lista.SetSelected(2, true);
    lista.SetSelected(3, true);
    lista.SetSelected(3, false);
    QCOMPARE(Seleccionados(lista), QList<int>({0, 2}));
    QCOMPARE(lista.selectionMode(), QAbstractItemView::ExtendedSelection);
  }

  // Deleting a row keeps the other rows' selection and focus with them.
  void borrarDesplazaLaSeleccion() {
    TListaDispositivos lista;
    Agregar(lista, 4);
    lista.SetSelected(0, true);
    lista.SetSelected(3, true);
    lista.SetItemIndex(3);
    lista.Delete(1);
    QCOMPARE(lista.Count(), 3);
    QCOMPARE(Seleccionados(lista), QList<int>({0, 2}));
    QCOMPARE(lista.ItemIndex(), 2);
  }

  void vaciarQuitaFocoYSeleccion() {
    TListaDispositivos lista;
    Agregar(lista, 2);
    lista.SetSelected(1, true);
    lista.SetItemIndex(1);
    lista.Clear();
    QCOMPARE(lista.Count(), 0);
    QCOMPARE(lista.ItemIndex(), -1);
    Agregar(lista, 2);
    QCOMPARE(Seleccionados(lista), QList<int>());
  }

  void pista_data() {
    QTest::addColumn<int>("elementos");
    QTest::addColumn<bool>("conHilo");
    QTest::addColumn<QString>("archivo");
    QTest::newRow("lista vacía") << 0 << false << QString();
    QTest::newRow("sobre un elemento") << 2 << false << QString();
    QTest::newRow("sobre un elemento sin archivo en curso") << 2 << true << QString();
    QTest::newRow("sobre un archivo en curso") << 2 << true << QStringLiteral("E:\\a.bin");
  }

  // The item under the pointer names the file under way; elsewhere the list's hint shows.
  void pista() {
    QFETCH(int, elementos);
    QFETCH(bool, conHilo);
    QFETCH(QString, archivo);
    testing_support::HilosPrueba hilos(std::make_shared<TEntorno>());
    std::shared_ptr<TDHilo> hilo;
    if (conHilo) {
      hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
      hilo = hilos.ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000,
                               archivo.toStdU16String());
    }
    TListaDispositivos lista;
    lista.Modelo().HiloDeFila = [&](int fila) { return fila == 0 ? hilo.get() : nullptr; };
    lista.setToolTip(QStringLiteral("Arrastre hasta aquí los archivos a copiar."));
    lista.resize(300, 200);
    Agregar(lista, elementos);
    lista.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lista));
    const QPoint punto(10, 5);
    QHelpEvent evento(QEvent::ToolTip, punto, lista.viewport()->mapToGlobal(punto));
    QApplication::sendEvent(lista.viewport(), &evento);
    QTRY_COMPARE(QToolTip::text(), archivo.isEmpty() ? lista.toolTip() : archivo);
    QToolTip::hideText();
  }
};

QTEST_MAIN(ListaDispositivosTest)
#include "lista_dispositivos_test.moc"
