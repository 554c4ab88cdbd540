// The device list read as a person reads it, on the rendered image: the contrast of every row
// text against what lies behind it for several colour settings, every state's word and colour,
// a normal row shown whole at the window's default width, and the summary line above the list.
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>
#include <memory>

#include "app/Contraste.h"
#include "app/PintarDispositivo.h"
#include "gui/ColoresQt.h"
#include "gui/QtCanvas.h"
#include "gui/TBarraMemoria.h"
#include "gui/TDelegadoDispositivo.h"
#include "gui/TFormDList.h"
#include "gui/TListaDispositivos.h"
#include "gui/TModeloDispositivos.h"
#include "platform/locale.h"
#include "platform/memory.h"
#include "tests/support/canvas_registro.h"
#include "tests/support/hilos_prueba.h"
#include "tests/support/vista_simple.h"
#include "tests/window/unidades_prueba.h"

Q_DECLARE_METATYPE(platform::Color)

namespace {

// The highest contrast against `fondo` of any pixel in `zona` that is not `fondo`: the core of
// the glyphs drawn there. 0 when nothing is drawn there.
double ContrasteTinta(const QImage& imagen, const QRect& zona, platform::Color fondo) {
  double mejor = 0;
  const QColor color_fondo = ColorQt(fondo);
  for (int y = zona.top(); y <= zona.bottom(); ++y) {
    for (int x = zona.left(); x <= zona.right(); ++x) {
      const QColor pixel = imagen.pixelColor(x, y);
      if (pixel == color_fondo) continue;
      mejor = std::max(mejor, Contraste(ColorCanvas(pixel), fondo));
    }
  }
  return mejor;
}

// A row in the middle of its job: 60 % done, a file half written, with the given state.
TFila FilaNormal(TEstado estado = TEstado::Escribiendo, bool origen = false) {
  TFila fila;
  fila.Foto.HRec = {u"Disco extraible", u"E", 0x1234, 512, 4096};
  fila.Foto.EsOrigen = origen;
  fila.Foto.Estado = estado;
  fila.Foto.DPos = 600;
  fila.Foto.DFin = 1000;
  fila.Foto.Capacidad = {true, false, 14LL << 30};
  fila.Foto.Velocidad = {0, 9LL << 20, 0.502118};
  fila.Foto.Muestra.DNombre = u"Fotos\\2016\\IMG_0001.JPG";
  fila.Foto.Muestra.ONombre = fila.Foto.Muestra.DNombre;
  fila.Foto.Muestra.FPos = 1;
  fila.Foto.Muestra.FTalla = 8;  // the file's bar ends under its path
  fila.Foto.Muestra.FStr = {4 << 20, 50};
  fila.TrabajoPos = 600;
  fila.TrabajoFin = 1000;
  if (estado == TEstado::Fallido) {
    fila.Foto.LEC = 112;
    fila.Foto.Velocidad = {112, 0, 0};
  }
  return fila;
}

// A list of rows painted by the window's delegate.
struct ListaDeFilas {
  ListaDeFilas(TPrograma& programa, const std::vector<TFila>& filas, int ancho) {
    for (const TFila& fila : filas) {
      auto* item = new QStandardItem;
      item->setData(QVariant::fromValue(fila), TModeloDispositivos::RolFila);
      modelo.appendRow(item);
    }
    QFont fuente(QStringLiteral("Arial"));
    fuente.setPixelSize(16);
    vista.setFont(fuente);
    vista.setModel(&modelo);
    vista.setItemDelegate(new TDelegadoDispositivo(programa, &vista));
    vista.setSelectionMode(QAbstractItemView::MultiSelection);
    vista.resize(ancho, 400);
    vista.show();
  }
  QStandardItemModel modelo;
  QListView vista;
};

}  // namespace

class LegibilidadTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { platform::SetLocaleForTests(platform::LocaleFormat{}); }
  void cleanup() { platform::ResetLocale(); }

  void contrasteDelTexto_data() {
    QTest::addColumn<platform::Color>("destino");
    QTest::addColumn<platform::Color>("error");
    QTest::addColumn<platform::Color>("resaltado");
    QTest::addColumn<platform::Color>("lista");
    QTest::addColumn<platform::Color>("texto");
    const platform::Color cian = platform::Rgb(0, 210, 210);
    const platform::Color magenta = platform::Rgb(210, 0, 210);
    const platform::Color azul = platform::Rgb(0, 120, 215);
    const platform::Color blanco = platform::Rgb(255, 255, 255);
    const platform::Color negro = platform::Rgb(0, 0, 0);
    QTest::newRow("colores por omisión") << cian << magenta << azul << blanco << negro;
    QTest::newRow("barra oscura") << platform::Rgb(0, 0, 110) << platform::Rgb(90, 0, 0) << azul
                                  << blanco << negro;
    QTest::newRow("gris medio") << platform::Rgb(119, 119, 119) << platform::Rgb(128, 128, 128)
                                << platform::Rgb(118, 118, 118) << platform::Rgb(240, 240, 240)
                                << platform::Rgb(120, 120, 120);
    QTest::newRow("amarillo y tema oscuro") << platform::Rgb(255, 255, 0) << platform::Rgb(255, 0, 0)
                                            << platform::Rgb(61, 174, 233)
                                            << platform::Rgb(35, 38, 41)
                                            << platform::Rgb(239, 240, 241);
    QTest::newRow("resaltado igual a la barra") << cian << magenta << cian << blanco << blanco;
  }

  // Each row text against its bar and against the row's own colour, selected or not, on the
  // image the list shows: at least 4.5:1 everywhere.
  void contrasteDelTexto() {
    QFETCH(platform::Color, destino);
    QFETCH(platform::Color, error);
    QFETCH(platform::Color, resaltado);
    QFETCH(platform::Color, lista);
    QFETCH(platform::Color, texto);
    testing_support::VistaSimple sin_lista;
    TPrograma programa(sin_lista);
    programa.Colores.ColorDestino = destino;
    programa.Colores.ColorError = error;
    programa.ColorResaltado = resaltado;
    programa.ColorLista = lista;
    programa.ColorTexto = texto;
    TFila completa = FilaNormal(TEstado::Terminado);
    completa.TrabajoPos = completa.TrabajoFin;  // the full bar of the report
    completa.Foto.Muestra.FTalla = 0;
    const std::vector<TFila> filas = {FilaNormal(), FilaNormal(), completa, completa,
                                      FilaNormal(TEstado::Fallido), FilaNormal(TEstado::Fallido)};
    ListaDeFilas filas_lista(programa, filas, 640);
    QVERIFY(QTest::qWaitForWindowExposed(&filas_lista.vista));
    for (int i = 0; i < static_cast<int>(filas.size()); i += 2)
      filas_lista.vista.selectionModel()->select(filas_lista.modelo.index(i, 0),
                                                 QItemSelectionModel::Select);
    const QImage imagen = filas_lista.vista.viewport()->grab().toImage();

    QImage escala(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter medidor(&escala);
    medidor.setFont(filas_lista.vista.font());
    QtCanvas canvas(medidor);
    for (int i = 0; i < static_cast<int>(filas.size()); ++i) {
      const TFila& fila = filas[i];
      const QRect r = filas_lista.vista.visualRect(filas_lista.modelo.index(i, 0));
      const platform::Color fondo = i % 2 == 0 ? resaltado : lista;
      const platform::Color barra = fila.Foto.LEC != 0 ? error : destino;
      const int mitad = r.top() + r.height() / 2;
      const platform::Rect R{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
      const platform::Rect etiqueta = EtiquetaEstado(fila, canvas, R);
      const int corte_arriba = r.left() + static_cast<int>(fila.TrabajoPos * r.width() / fila.TrabajoFin);
      const int corte_abajo =
          fila.Foto.Muestra.FTalla ? r.left() + r.width() / 8 : r.left();
      struct Zona {
        QRect rect;
        platform::Color fondo;
        const char* que;
      };
      std::vector<Zona> zonas = {
          {QRect(QPoint(r.left(), r.top()), QPoint(corte_arriba - 1, mitad - 1)), barra,
           "línea 1 sobre la barra"},
          {QRect(QPoint(corte_arriba, r.top()), QPoint(r.right(), mitad - 1)), fondo,
           "línea 1 junto a la barra"},
          {QRect(QPoint(etiqueta.Left, etiqueta.Top), QPoint(etiqueta.Right - 1, etiqueta.Bottom - 1)),
           ColorEstado(EstadoFila(fila)), "el estado"},
      };
      if (corte_abajo > r.left())
        zonas.push_back({QRect(QPoint(r.left(), mitad), QPoint(corte_abajo - 1, r.bottom() - 1)),
                         barra, "línea 2 sobre la barra"});
      if (fila.Foto.Muestra.FTalla)
        zonas.push_back({QRect(QPoint(corte_abajo, mitad), QPoint(etiqueta.Left - 1, r.bottom() - 1)),
                         fondo, "línea 2 junto a la barra"});
      for (const Zona& zona : zonas) {
        if (zona.rect.width() < 4) continue;
        const double contraste = ContrasteTinta(imagen, zona.rect, zona.fondo);
        QVERIFY2(contraste > 1.0, qPrintable(QStringLiteral("fila %1: nada escrito en %2")
                                                 .arg(i).arg(QString::fromUtf8(zona.que))));
        QVERIFY2(contraste >= kContrasteMinimo,
                 qPrintable(QStringLiteral("fila %1, %2: %3:1")
                                .arg(i)
                                .arg(QString::fromUtf8(zona.que))
                                .arg(contraste, 0, 'f', 2)));
      }
    }
  }

  // Every state has its word on the row's tag, drawn on its colour.
  void estadosEnPalabrasYColores() {
    testing_support::VistaSimple sin_lista;
    TPrograma programa(sin_lista);
    std::vector<TFila> filas;
    const TEstado estados[] = {TEstado::Reposo,    TEstado::EnCola,  TEstado::Escribiendo,
                               TEstado::Sincronizando, TEstado::Verificando,
                               TEstado::Terminado, TEstado::Fallido,
                               TEstado::Quitado,   TEstado::Escribiendo};
    for (TEstado estado : estados) filas.push_back(FilaNormal(estado));
    filas.back().Detenido = true;
    ListaDeFilas filas_lista(programa, filas, 640);
    QVERIFY(QTest::qWaitForWindowExposed(&filas_lista.vista));
    const QImage imagen = filas_lista.vista.viewport()->grab().toImage();
    QImage escala(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter medidor(&escala);
    medidor.setFont(filas_lista.vista.font());
    QtCanvas canvas(medidor);
    for (int i = 0; i < kNumEstadosFila; ++i) {
      const TEstadoFila estado = EstadoFila(filas[i]);
      QCOMPARE(int(estado), i);
      const QRect r = filas_lista.vista.visualRect(filas_lista.modelo.index(i, 0));
      const platform::Rect etiqueta =
          EtiquetaEstado(filas[i], canvas, {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
      const std::u16string palabra = PalabraEstado(estado, false, false);
      QCOMPARE(etiqueta.Width(), canvas.TextWidth(palabra) + 2 * std::max(2, canvas.TextHeight(u"Wg") / 4));
      QCOMPARE(imagen.pixelColor(etiqueta.Right - 1, etiqueta.Top), ColorQt(ColorEstado(estado)));
      QCOMPARE(imagen.pixelColor(etiqueta.Left, etiqueta.Bottom - 1), ColorQt(ColorEstado(estado)));
      const QRect zona(etiqueta.Left, etiqueta.Top, etiqueta.Width(), etiqueta.Height());
      QVERIFY(ContrasteTinta(imagen, zona, ColorEstado(estado)) >= kContrasteMinimo);
    }
    QCOMPARE(QString::fromStdU16String(PalabraEstado(TEstadoFila::Terminado, false, false)),
             QStringLiteral("Terminado: puede retirarse"));
    QCOMPARE(QString::fromStdU16String(PalabraEstado(TEstadoFila::Sincronizando, false, false)),
             QStringLiteral("Sincronizando..."));
  }

  // At the window's default width a normal row shows whole: the name, the free space, the
  // percentage, the speed and the finish time, and the file with its tag; the memory text too.
  void anchoPorOmisionMuestraUnaFilaNormal() {
    TUnidadesPrueba unidades;
    platform::SetMemoryStatusForTests(
        [] { return platform::MemoryStatus{100, 16ULL << 30, 999ULL << 30}; });
    {
      TFormDList ventana;
      ventana.show();
      QVERIFY(QTest::qWaitForWindowExposed(&ventana));
      auto* lista = ventana.findChild<TListaDispositivos*>(QStringLiteral("DListBox"));
      QVERIFY(lista);
      const QFontMetrics metricas(lista->font());
      // What the widest normal row needs, measured in the list's font: within the rows' width.
      for (const TFila& fila : {FilaNormal(), FilaNormal(TEstado::Terminado)}) {
        const int linea1 = metricas.horizontalAdvance(QString::fromStdU16String(LineaFila(fila))) + 2;
        QVERIFY2(linea1 <= lista->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(linea1).arg(lista->viewport()->width())));
      }
      // Painted at that width, nothing is shortened.
      QImage escala(1, 1, QImage::Format_ARGB32_Premultiplied);
      QPainter medidor(&escala);
      medidor.setFont(lista->font());
      QtCanvas medida(medidor);
      struct Registro final : testing_support::CanvasRegistro {
        explicit Registro(QtCanvas& m) : medida(m) {}
        int TextWidth(const std::u16string& t) override { return medida.TextWidth(t); }
        int TextHeight(const std::u16string& t) override { return medida.TextHeight(t); }
        QtCanvas& medida;
      };
      Registro registro(medida);
      registro.SetBrushColor(platform::Rgb(255, 255, 255));
      const TFila fila = FilaNormal();
      const int ancho = lista->viewport()->width();
      PintarDispositivo(fila, ventana.Programa().Colores, registro, {0, 0, ancho, 40});
      std::u16string todo;
      for (const auto& texto : registro.textos) todo += texto.text + u"|";
      QVERIFY2(todo.find(LineaFila(fila)) != std::u16string::npos, qPrintable(QString::fromStdU16String(todo)));
      QVERIFY2(todo.find(u"Fotos\\2016\\IMG_0001.JPG 4.00 Mb 50%") != std::u16string::npos,
               qPrintable(QString::fromStdU16String(todo)));
      QVERIFY(todo.find(u"...") == std::u16string::npos);
      // The memory bar's text with its widest figures.
      auto* memoria = ventana.findChild<QWidget*>(QStringLiteral("PBMemoria"));
      const QString texto = QStringLiteral(" Memoria ocupada 100%, Libre 999.00 Gb");
      QVERIFY(QFontMetrics(memoria->font()).horizontalAdvance(texto) <= memoria->width());
      // Narrower by hand: the path gives way first; the finish time stays whole.
      const int estrecho = metricas.horizontalAdvance(QString::fromStdU16String(LineaFila(fila))) + 20;
      Registro corto(medida);
      corto.SetBrushColor(platform::Rgb(255, 255, 255));
      PintarDispositivo(fila, ventana.Programa().Colores, corto, {0, 0, estrecho, 40});
      QCOMPARE(QString::fromStdU16String(corto.textos[0].text), QString::fromStdU16String(LineaFila(fila)));
      const std::u16string fin = platform::FormatLongTime(fila.Foto.Velocidad.Termina);
      Registro estrechisimo(medida);
      estrechisimo.SetBrushColor(platform::Rgb(255, 255, 255));
      PintarDispositivo(fila, ventana.Programa().Colores, estrechisimo, {0, 0, estrecho - 60, 40});
      const std::u16string linea = estrechisimo.textos[0].text;
      QVERIFY2(linea.size() > fin.size() && linea.substr(linea.size() - fin.size()) == fin,
               qPrintable(QString::fromStdU16String(linea)));
      QVERIFY(linea.find(u"...") != std::u16string::npos);
    }
    platform::SetMemoryStatusForTests({});
  }

  // The summary above the list: sticks in the job, done, failed, what the slowest has left.
  void resumenConUnaMemoriaFallida() {
    TUnidadesPrueba unidades;
    auto ventana = std::make_unique<TFormDList>();
    TPrograma& programa = ventana->Programa();
    auto* lista = ventana->findChild<TListaDispositivos*>(QStringLiteral("DListBox"));
    auto* resumen = ventana->findChild<QLabel*>(QStringLiteral("Resumen"));
    QVERIFY(lista && resumen);
    QCOMPARE(resumen->text(), QStringLiteral("Sin copia en curso."));
    {
      testing_support::HilosPrueba hilos(programa.Entorno);
      auto origen = hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
      auto hecho = hilos.ConProgreso({u"HECHO", u"E", 2, 512, 4096}, 4096, 4096, u"a.bin");
      auto mitad = hilos.ConProgreso({u"MITAD", u"F", 3, 512, 4096}, 4096, 1024, u"a.bin");
      auto malo = hilos.EnError({u"MALO", u"G", 4, 512, 4096}, u"b.bin", 4096);
      QVERIFY(testing_support::Esperar([&] {
        return hecho->GetEstado() == TEstado::Terminado && malo->GetDFin() == 4096;
      }));
      lista->Clear();
      programa.DList = {origen, hecho, mitad, malo};
      for (int i = 0; i < 4; ++i) lista->Add();
      QTRY_COMPARE(resumen->text(),
                   QStringLiteral("Copia: 3 memorias, 1 terminada, 1 fallida. Quedan 3.00 Kb en "
                                  "la más lenta."));
      programa.DList.clear();
      lista->Clear();
    }
    ventana.reset();
  }
};

QTEST_MAIN(LegibilidadTest)
#include "legibilidad_test.moc"
