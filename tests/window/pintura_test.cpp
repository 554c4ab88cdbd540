// What the window paints: the Qt canvas itself, the device list's items through the delegate
// from the rows' snapshots, and the memory bar.
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>
#include <memory>

#include "gui/ColoresQt.h"
#include "gui/QtCanvas.h"
#include "gui/TFormDList.h"
#include "gui/TDelegadoDispositivo.h"
#include "gui/TListaDispositivos.h"
#include "gui/TModeloDispositivos.h"
#include "platform/memory.h"
#include "tests/support/hilos_prueba.h"
#include "tests/support/vista_simple.h"
#include "tests/window/unidades_prueba.h"

namespace {

const QColor kFondo(Qt::white);

// A white image with a painter on it, and a canvas over that painter.
struct Lienzo {
  explicit Lienzo(QSize talla) : imagen(talla, QImage::Format_RGB32) {
    imagen.fill(kFondo);
    painter = std::make_unique<QPainter>(&imagen);
    QFont fuente(QStringLiteral("Arial"));
    fuente.setPixelSize(16);
    painter->setFont(fuente);
    canvas = std::make_unique<QtCanvas>(*painter);
  }
  QImage Terminar() {
    canvas.reset();
    painter.reset();
    return imagen;
  }
  QImage imagen;
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<QtCanvas> canvas;
};

// The rows of `imagen` (inside `zona`) holding a pixel other than `fondo`.
QPair<int, int> FilasConTinta(const QImage& imagen, const QRect& zona, const QColor& fondo) {
  int primera = -1, ultima = -1;
  for (int y = zona.top(); y <= zona.bottom(); ++y) {
    for (int x = zona.left(); x <= zona.right(); ++x) {
      if (imagen.pixelColor(x, y) != fondo) {
        if (primera < 0) primera = y;
        ultima = y;
        break;
      }
    }
  }
  return {primera, ultima};
}

// Whether some pixel of `imagen` inside `zona` is exactly `color`, as the stems of letters are.
bool HayColor(const QImage& imagen, const QRect& zona, const QColor& color) {
  for (int y = zona.top(); y <= zona.bottom(); ++y)
    for (int x = zona.left(); x <= zona.right(); ++x)
      if (imagen.pixelColor(x, y) == color) return true;
  return false;
}

constexpr std::uint32_t kCarga = 25;  // memory load the tests fix, percent
constexpr std::uint64_t kDisponible = 4ULL << 30;

}  // namespace

class PinturaTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUnidadesPrueba> unidades_;
  std::unique_ptr<TFormDList> ventana_;

  TFormDList& AbrirVentana() {
    ventana_ = std::make_unique<TFormDList>();
    ventana_->show();
    if (!QTest::qWaitForWindowExposed(ventana_.get())) qFatal("window not exposed");
    return *ventana_;
  }

 private slots:
  void init() {
    unidades_ = std::make_unique<TUnidadesPrueba>();
    platform::SetMemoryStatusForTests([] {
      return platform::MemoryStatus{kCarga, 16ULL << 30, kDisponible};
    });
  }

  void cleanup() {
    std::vector<std::shared_ptr<TDHilo>> hilos;
    if (ventana_) hilos = ventana_->Programa().DList;
    ventana_.reset();
    for (const auto& hilo : hilos) QTRY_VERIFY(hilo->Finished());
    unidades_.reset();
    platform::SetMemoryStatusForTests({});
  }

  // --- The canvas over a QPainter ---

  void rellenar_data() {
    QTest::addColumn<bool>("solido");
    QTest::addColumn<platform::Color>("color");
    QTest::addColumn<QColor>("esperado");
    QTest::newRow("rojo en el byte bajo") << true << platform::Rgb(255, 0, 0) << QColor(255, 0, 0);
    QTest::newRow("azul en el byte alto") << true << platform::Color(0x00FF0000) << QColor(0, 0, 255);
    QTest::newRow("mezcla") << true << platform::Rgb(0, 210, 210) << QColor(0, 210, 210);
    QTest::newRow("pincel transparente") << false << platform::Rgb(255, 0, 0) << kFondo;
  }

  // FillRect covers exactly [Left, Right) x [Top, Bottom).
  void rellenar() {
    QFETCH(bool, solido);
    QFETCH(platform::Color, color);
    QFETCH(QColor, esperado);
    Lienzo lienzo(QSize(40, 20));
    lienzo.canvas->SetBrushColor(color);
    if (!solido) lienzo.canvas->SetBrushClear();
    QCOMPARE(lienzo.canvas->BrushColor(), color);
    lienzo.canvas->FillRect({10, 5, 30, 15});
    const QImage imagen = lienzo.Terminar();
    QCOMPARE(imagen.pixelColor(10, 5), esperado);
    QCOMPARE(imagen.pixelColor(29, 14), esperado);
    QCOMPARE(imagen.pixelColor(9, 5), kFondo);
    QCOMPARE(imagen.pixelColor(30, 14), kFondo);
    QCOMPARE(imagen.pixelColor(10, 4), kFondo);
    QCOMPARE(imagen.pixelColor(10, 15), kFondo);
  }

  void texto_data() {
    QTest::addColumn<bool>("solido");
    QTest::newRow("sobre el pincel") << true;
    QTest::newRow("sin fondo") << false;
  }

  // y is the top of the line: the glyphs stay inside [y, y + TextHeight), from x on. A solid
  // brush fills the text's cell, a clear one leaves the background.
  void texto() {
    QFETCH(bool, solido);
    const std::u16string muestra = u"HgW";
    const QColor pincel(0, 210, 210);
    const QColor letra(200, 0, 0);
    Lienzo lienzo(QSize(100, 60));
    lienzo.canvas->SetBrushColor(ColorCanvas(pincel));
    if (!solido) lienzo.canvas->SetBrushClear();
    lienzo.canvas->SetFontColor(ColorCanvas(letra));
    const int ancho = lienzo.canvas->TextWidth(muestra);
    const int alto = lienzo.canvas->TextHeight(muestra);
    const QFontMetrics metricas(lienzo.painter->font());
    QCOMPARE(ancho, metricas.horizontalAdvance(QStringLiteral("HgW")));
    QCOMPARE(alto, metricas.height());
    lienzo.canvas->TextOut(7, 20, muestra);
    const QImage imagen = lienzo.Terminar();

    const QColor fondo_celda = solido ? pincel : kFondo;
    const auto [primera, ultima] =
        FilasConTinta(imagen, QRect(7, 20, ancho, alto), fondo_celda);
    QVERIFY(primera >= 20);
    QVERIFY(ultima < 20 + alto);
    QVERIFY(ultima - primera > alto / 2);  // the glyphs are there
    // Nothing outside the cell.
    QCOMPARE(FilasConTinta(imagen, QRect(0, 0, 100, 20), kFondo).first, -1);
    QCOMPARE(FilasConTinta(imagen, QRect(0, 20 + alto, 100, 60 - 20 - alto), kFondo).first, -1);
    QCOMPARE(FilasConTinta(imagen, QRect(0, 0, 7, 60), kFondo).first, -1);
    // The cell's corner is the brush or the background; a stem of the H is the font colour.
    QCOMPARE(imagen.pixelColor(7 + ancho - 1, 20 + alto - 1), fondo_celda);
    bool hay_letra = false;
    for (int y = primera; y <= ultima && !hay_letra; ++y)
      for (int x = 7; x < 7 + ancho && !hay_letra; ++x) hay_letra = imagen.pixelColor(x, y) == letra;
    QVERIFY(hay_letra);
  }

  void lineaHorizontal() {
    Lienzo lienzo(QSize(20, 10));
    lienzo.canvas->SetBrushColor(platform::Rgb(255, 0, 0));
    lienzo.canvas->HorizontalLine(3, 8, 4);
    const QImage imagen = lienzo.Terminar();
    for (int x = 3; x < 8; ++x) QCOMPARE(imagen.pixelColor(x, 4), QColor(Qt::black));
    QCOMPARE(imagen.pixelColor(2, 4), kFondo);
    QCOMPARE(imagen.pixelColor(8, 4), kFondo);
    QCOMPARE(imagen.pixelColor(5, 3), kFondo);
    QCOMPARE(imagen.pixelColor(5, 5), kFondo);
  }

  // --- The device list ---

  // Items two text lines high and a row for the closing line, filled with the list's colour or,
  // selected, the highlight, with
  // their text in the text colour or, selected, near white, and closed by a black line on their
  // last row.
  void elementosDeLaLista() {
    unidades_->Poner(u'D', 0x1111, u"UNO");
    unidades_->Poner(u'E', 0x2222, u"DOS");
    unidades_->Poner(u'F', 0x3333, u"TRES");
    TFormDList& ventana = AbrirVentana();
    TPrograma& programa = ventana.Programa();
    programa.ColorLista = platform::Rgb(250, 240, 200);
    programa.ColorResaltado = platform::Rgb(40, 60, 200);
    programa.ColorTexto = platform::Rgb(200, 0, 0);
    auto* lista = ventana.findChild<TListaDispositivos*>(QStringLiteral("DListBox"));
    QVERIFY(lista);
    QCOMPARE(lista->Count(), 3);
    for (int i = 0; i < 3; ++i) lista->SetSelected(i, i == 1);

    const QImage imagen = lista->viewport()->grab().toImage();
    const int alto = 2 * QFontMetrics(lista->font()).height() + 1;
    for (int i = 0; i < 3; ++i) {
      const QRect r = lista->visualRect(lista->model()->index(i, 0));
      QCOMPARE(r.top(), i * alto);
      QCOMPARE(r.height(), alto);
      QCOMPARE(r.width(), lista->viewport()->width());
      const QColor relleno = ColorQt(i == 1 ? programa.ColorResaltado : programa.ColorLista);
      QCOMPARE(imagen.pixelColor(r.right() - 2, r.top() + 1), relleno);
      QCOMPARE(imagen.pixelColor(r.left() + 2, r.bottom() - 1), relleno);
      QCOMPARE(imagen.pixelColor(r.left() + 5, r.bottom()), QColor(Qt::black));
      QCOMPARE(imagen.pixelColor(r.right() - 2, r.bottom()), QColor(Qt::black));
      const QRect primera_linea(r.left(), r.top(), r.width() / 2, alto / 2);
      QVERIFY2(FilasConTinta(imagen, primera_linea, relleno).first >= 0, "line 1 is drawn");
      const QColor letra = i == 1 ? QColor(247, 255, 255) : ColorQt(programa.ColorTexto);
      QVERIFY2(HayColor(imagen, primera_linea, letra), qPrintable(letra.name()));
    }
  }

  // The delegate paints an item from the row's snapshot alone, whatever model gives it: here
  // the program holds no worker at all. A row without a snapshot is left to the view.
  void pintaDesdeLosDatosDeLaFila() {
    testing_support::VistaSimple sin_lista;
    TPrograma programa(sin_lista);
    programa.ColorLista = platform::Rgb(250, 240, 200);
    TInstantanea origen;
    origen.EsOrigen = true;
    origen.Estado = TEstado::Escribiendo;
    origen.DPos = 1;
    origen.DFin = 2;
    origen.Muestra.FPos = 1;
    origen.Muestra.FTalla = 4;
    TInstantanea en_error;
    en_error.Estado = TEstado::Fallido;
    en_error.LEC = 21;
    en_error.DPos = 3;
    en_error.DFin = 4;
    QStandardItemModel filas;
    for (const TInstantanea* foto : {&origen, &en_error, static_cast<TInstantanea*>(nullptr)}) {
      auto* fila = new QStandardItem;
      if (foto) fila->setData(QVariant::fromValue(*foto), TModeloDispositivos::RolInstantanea);
      filas.appendRow(fila);
    }
    QListView vista;
    vista.setModel(&filas);
    vista.setItemDelegate(new TDelegadoDispositivo(programa, &vista));
    vista.resize(300, 200);
    vista.show();
    QVERIFY(QTest::qWaitForWindowExposed(&vista));

    const QImage imagen = vista.viewport()->grab().toImage();
    const QColor fondo = ColorQt(programa.ColorLista);
    const struct {
      double arriba, abajo;
      platform::Color color;
    } barras[] = {
        {0.5, 0.25, programa.Colores.ColorOrigen.load()},
        {0.75, 0, programa.Colores.ColorError.load()},
    };
    for (int i = 0; i < 2; ++i) {
      const QRect r = vista.visualRect(filas.index(i, 0));
      const QColor barra = ColorQt(barras[i].color);
      const int y_arriba = r.top() + 1, y_abajo = r.top() + r.height() / 2 + 1;
      const int x_arriba = static_cast<int>(barras[i].arriba * r.width());
      const int x_abajo = static_cast<int>(barras[i].abajo * r.width());
      QCOMPARE(imagen.pixelColor(x_arriba - 3, y_arriba), barra);
      QCOMPARE(imagen.pixelColor(x_arriba + 3, y_arriba), fondo);
      if (x_abajo > 0) QCOMPARE(imagen.pixelColor(x_abajo - 3, y_abajo), barra);
      QCOMPARE(imagen.pixelColor(x_abajo + 3, y_abajo), fondo);
    }
    const QRect vacia = vista.visualRect(filas.index(2, 0));
    const QColor base = vista.palette().color(QPalette::Base);
    QVERIFY(base != fondo);
    QCOMPARE(imagen.pixelColor(vacia.right() - 2, vacia.top() + 1), base);
    QCOMPARE(imagen.pixelColor(vacia.left() + 5, vacia.bottom()), base);
  }

  // Bars of real workers: the source in its colour, a destination with progress in the
  // destination colour, one in error in the error colour, each to its fraction of the width.
  void barrasDeLosDispositivos() {
    TFormDList& ventana = AbrirVentana();
    TPrograma& programa = ventana.Programa();
    programa.ColorLista = platform::Rgb(255, 255, 255);
    testing_support::HilosPrueba hilos(programa.Entorno);
    auto origen = hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
    origen->AddDFin(4000);
    origen->AgregarIO(std::make_unique<testing_support::OperacionInmediata>(hilos.contadores, 2000));
    QVERIFY(testing_support::Esperar(
        [&] { return origen->GetDPos() == 2000 && origen->GetDFin() == 4000; }));
    auto progreso = hilos.ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000, u"a.bin", 300,
                                      400);
    auto error = hilos.EnError({u"MALO", u"F", 3, 512, 4096}, u"b.bin", 8000, 4000, 8000);
    auto* lista = ventana.findChild<TListaDispositivos*>(QStringLiteral("DListBox"));
    QVERIFY(lista);
    lista->Clear();
    programa.DList = {origen, progreso, error};
    for (int i = 0; i < 3; ++i) lista->Add();
    lista->doItemsLayout();

    const QImage imagen = lista->viewport()->grab().toImage();
    const struct {
      double arriba, abajo;
      platform::Color color;
    } filas[] = {
        {0.5, 0, programa.Colores.ColorOrigen.load()},
        {0.25, 0.75, programa.Colores.ColorDestino.load()},
        {0, 0.5, programa.Colores.ColorError.load()},
    };
    for (int i = 0; i < 3; ++i) {
      const QRect r = lista->visualRect(lista->model()->index(i, 0));
      const QColor barra = ColorQt(filas[i].color);
      const QColor fondo = ColorQt(programa.ColorLista);
      // Sampled on the first row of each half, above the letters.
      const int y_arriba = r.top() + 1, y_abajo = r.top() + r.height() / 2 + 1;
      const int x_arriba = static_cast<int>(filas[i].arriba * r.width());
      const int x_abajo = static_cast<int>(filas[i].abajo * r.width());
      if (x_arriba > 0) QCOMPARE(imagen.pixelColor(x_arriba - 3, y_arriba), barra);
      QCOMPARE(imagen.pixelColor(x_arriba + 3, y_arriba), fondo);
      if (x_abajo > 0) QCOMPARE(imagen.pixelColor(x_abajo - 3, y_abajo), barra);
      QCOMPARE(imagen.pixelColor(x_abajo + 3, y_abajo), fondo);
    }
    programa.DList.clear();
    lista->Clear();
  }

  // --- The memory bar ---

  void barraDeMemoria_data() {
    QTest::addColumn<qint64>("memoriaLibre");
    QTest::addColumn<QString>("progreso");
    QTest::addColumn<int>("valor");
    QTest::addColumn<bool>("enError");
    QTest::newRow("memoria de sobra") << qint64(1) << QString() << 0 << false;
    QTest::newRow("disponible igual a la reserva")
        << qint64(kDisponible) << QString() << 0 << true;
    QTest::newRow("con progreso") << qint64(1) << QStringLiteral("Copiando") << 20 << false;
    QTest::newRow("con progreso y en error")
        << qint64(kDisponible + 1) << QStringLiteral("Leyendo") << 35 << true;
  }

  // The memory part spans W x load / 100 over the whole height, or over the upper half while a
  // long command shows its progress in the lower half.
  void barraDeMemoria() {
    QFETCH(qint64, memoriaLibre);
    QFETCH(QString, progreso);
    QFETCH(int, valor);
    QFETCH(bool, enError);
    TFormDList& ventana = AbrirVentana();
    TPrograma& programa = ventana.Programa();
    programa.Entorno->MemoriaLibre = memoriaLibre;
    programa.ProgresoTexto = progreso.toStdU16String();
    programa.ProgresoValor = valor;
    const TColores& entorno = programa.Colores;
    const QColor memoria = ColorQt(enError ? entorno.ColorError : entorno.ColorOrigen);
    const QColor avance = ColorQt(entorno.ColorDestino);

    QWidget* barra = ventana.findChild<QWidget*>(QStringLiteral("PBMemoria"));
    const QImage imagen = barra->grab().toImage();
    const int W = barra->width(), H = barra->height();
    const int x = W * static_cast<int>(kCarga) / 100;
    QVERIFY(x > valor + 1);
    const auto pixel = [&](int px, int py) { return imagen.pixelColor(px, py); };
    QCOMPARE(pixel(1, 0), memoria);
    QCOMPARE(pixel(x - 1, 0), memoria);
    QVERIFY(pixel(x, 0) != memoria);
    if (progreso.isEmpty()) {
      QCOMPARE(pixel(1, H - 1), memoria);
      QCOMPARE(pixel(x - 1, H - 1), memoria);
    } else {
      QCOMPARE(pixel(x - 1, H / 2 - 1), memoria);
      QCOMPARE(pixel(1, H - 1), avance);
      QCOMPARE(pixel(valor - 1, H / 2), avance);
      QVERIFY(pixel(valor, H - 1) != avance);
      QVERIFY(pixel(x - 1, H - 1) != memoria);
    }
  }
};

QTEST_MAIN(PinturaTest)
#include "pintura_test.moc"
