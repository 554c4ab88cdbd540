// The main window's layout contract and its wiring to the program, on the real widgets.
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <memory>

#include "gui/ColoresQt.h"
#include "gui/ImagenesHerramientas.h"
#include "gui/TFormDList.h"
#include "tests/window/unidades_prueba.h"

Q_DECLARE_METATYPE(TBotonId)

namespace {

const char* const kNombresBotones[kNumBotones] = {
    "ToolButtonContinuarDetener", "ToolButtonAbrirGuardar", "ToolButtonPriorizar",
    "ToolButtonCancelar",         "ToolButtonActualizar",   "ToolButtonSumarRestar",
    "ToolButtonListar",           "ToolButtonVerificar",    "ToolButtonAjusteProgreso"};

bool MismaImagen(const QIcon& icono, int image_index) {
  return icono.pixmap(kTallaImagen, kTallaImagen).toImage() ==
         ImagenHerramienta(image_index).toImage();
}

}  // namespace

class VentanaTest : public QObject {
  Q_OBJECT

 private:
  // Opens the window on the drives put so far.
  TFormDList& Abrir() {
    ventana_ = std::make_unique<TFormDList>();
    return *ventana_;
  }
  template <typename T>
  T* Control(const char* nombre) {
    T* control = ventana_->findChild<T*>(QString::fromLatin1(nombre));
    if (control == nullptr) qFatal("no control %s", nombre);
    return control;
  }
  QToolButton* Boton(TBotonId boton) { return Control<QToolButton>(kNombresBotones[boton]); }

  std::unique_ptr<TUnidadesPrueba> unidades_;
  std::unique_ptr<TFormDList> ventana_;

 private slots:
  void init() { unidades_ = std::make_unique<TUnidadesPrueba>(); }

  // Closing tells every worker to end; the drive table outlives them.
  void cleanup() {
    std::vector<std::shared_ptr<TDHilo>> hilos;
    if (ventana_) hilos = ventana_->Programa().DList;
    ventana_.reset();
    for (const auto& hilo : hilos) QTRY_VERIFY(hilo->Finished());
    unidades_.reset();
  }

  void ventanaSiempreEncimaConSuTalla() {
    TFormDList& ventana = Abrir();
    QVERIFY(ventana.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(ventana.isWindow());
    // At least the designed size; wider where a normal row or the memory text needs it.
    QVERIFY(ventana.width() >= 483);
    QCOMPARE(ventana.height(), 399);
    // Resizable by hand.
    QVERIFY(ventana.minimumWidth() < 483);
    QVERIFY(ventana.maximumWidth() > 2000);
    QCOMPARE(ventana.font().pixelSize(), 16);
    QCOMPARE(ventana.font().family(), QStringLiteral("Arial"));
    QCOMPARE(ventana.windowTitle(), QString::fromStdU16String(ventana.Programa().Caption));
    QVERIFY(!ventana.windowTitle().isEmpty());
  }

  void colocadaALaDerechaDeLaPantalla() {
    TFormDList& ventana = Abrir();
    const int margen = ventana.fontMetrics().horizontalAdvance(QStringLiteral("HHH"));
    const int ancho_pantalla = QGuiApplication::primaryScreen()->geometry().width();
    QCOMPARE(ventana.pos(), QPoint(ancho_pantalla - ventana.width() - margen, 256));
  }

  void panelConfigurarOcultoAlEmpezar() {
    Abrir();
    auto* panel = Control<QTabWidget>("PageControlConfigurar");
    QVERIFY(panel->isHidden());
    QCOMPARE(panel->height(), 206);
    QCOMPARE(panel->count(), 2);
    QCOMPARE(panel->tabText(0), QStringLiteral("Configurar"));
    QCOMPARE(panel->tabText(1), QStringLiteral("Informes"));
    QCOMPARE(Control<QGroupBox>("GroupBoxColores")->title(), QStringLiteral("Colores"));

    auto* editor = Control<QTableWidget>("ValueListEditorVariables");
    const QStringList claves = {"Memoria libre (Gigabytes)", "Esperar respuesta (Segundos)",
                                "Usar camino del origen (Si/No)", "Puerto web (1..65535)",
                                "Activar Servidor Web (Si/No)", "Verificar copias (Si/No)",
                                "Manifiesto en destinos (Si/No)"};
    QCOMPARE(editor->columnCount(), 2);
    QCOMPARE(editor->rowCount(), claves.size());
    for (int fila = 0; fila < claves.size(); ++fila)
      QCOMPARE(editor->item(fila, 0)->text(), claves[fila]);
  }

  void panelConfigurarSigueAlPrograma() {
    TFormDList& ventana = Abrir();
    auto* panel = Control<QTabWidget>("PageControlConfigurar");
    auto* lista = Control<QListView>("DListBox");
    ventana.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ventana));
    const int alto_lista = lista->height();
    ventana.Programa().PanelConfigurarVisible = true;
    QTRY_VERIFY(panel->isVisible());
    // The list gives up the panel's height and the bottom bar stays.
    QTRY_COMPARE(lista->height(), alto_lista - 206);
    ventana.Programa().PanelConfigurarVisible = false;
    QTRY_VERIFY(panel->isHidden());
    QTRY_COMPARE(lista->height(), alto_lista);
  }

  void cajasDeColor_data() {
    QTest::addColumn<QString>("caja");
    QTest::addColumn<int>("campo");  // 0 origen, 1 destino, 2 error
    QTest::newRow("origen") << "PaintBoxColorOrigen" << 0;
    QTest::newRow("destino") << "PaintBoxColorDestino" << 1;
    QTest::newRow("error") << "PaintBoxColorError" << 2;
  }

  // A box shows its colour as the engine has it at paint time, so a change shows at once; its
  // label is drawn inside it (the settings panel tests check where).
  void cajasDeColor() {
    QFETCH(QString, caja);
    QFETCH(int, campo);
    TFormDList& ventana = Abrir();
    TColores& entorno = ventana.Programa().Colores;
    std::atomic<platform::Color>* colores[] = {&entorno.ColorOrigen, &entorno.ColorDestino,
                                               &entorno.ColorError};
    auto* widget = Control<QWidget>(caja.toLatin1().constData());
    QCOMPARE(widget->size(), QSize(62, 41));

    QCOMPARE(widget->grab().toImage().pixelColor(2, 2), ColorQt(colores[campo]->load()));
    colores[campo]->store(platform::Rgb(12, 34, 56));
    QCOMPARE(widget->grab().toImage().pixelColor(2, 2), QColor(12, 34, 56));
  }

  void barraInferior() {
    TFormDList& ventana = Abrir();
    ventana.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ventana));
    auto* barra = Control<QWidget>("PanelBarra");
    auto* herramientas = Control<QToolBar>("ToolBarHerramientas");
    auto* memoria = Control<QWidget>("PBMemoria");
    QCOMPARE(barra->height(), 46);
    QCOMPARE(barra->geometry().bottom(), ventana.height() - 1);
    QCOMPARE(herramientas->parentWidget(), barra);
    QCOMPARE(herramientas->x(), 0);
    QCOMPARE(memoria->parentWidget(), barra);
    QCOMPARE(memoria->x(), herramientas->geometry().right() + 1);
    QCOMPARE(memoria->geometry().right(), barra->width() - 1);
    for (int i = 0; i < kNumBotones; ++i) {
      QToolButton* boton = Boton(TBotonId(i));
      QCOMPARE(boton->size(), QSize(39, 38));
      QCOMPARE(boton->iconSize(), QSize(32, 32));
      if (i > 0) QVERIFY(boton->x() > Boton(TBotonId(i - 1))->x());
    }
    auto* lista = Control<QListView>("DListBox");
    auto* resumen = Control<QLabel>("Resumen");
    QCOMPARE(resumen->geometry().top(), 0);
    QCOMPARE(lista->geometry().top(), resumen->geometry().bottom() + 1);
    QCOMPARE(lista->geometry().bottom() + 1, barra->y());
    QCOMPARE(lista->toolTip(), QStringLiteral("Arrastre hasta aquí los archivos a copiar."));
    QCOMPARE(lista->selectionMode(), QAbstractItemView::ExtendedSelection);
  }

  void botonesAlEmpezar() {
    unidades_->Poner(u'D', 0x1111, u"UNO");
    TFormDList& ventana = Abrir();
    const auto& botones = ventana.Programa().Botones;
    for (int i = 0; i < kNumBotones; ++i) {
      QToolButton* boton = Boton(TBotonId(i));
      QCOMPARE(boton->toolTip(), QString::fromStdU16String(botones[i].Hint));
      QCOMPARE(boton->isEnabled(), botones[i].Enabled);
      QVERIFY2(MismaImagen(boton->icon(), botones[i].ImageIndex), kNombresBotones[i]);
    }
  }

  void botonesSiguenAlPrograma_data() {
    QTest::addColumn<TBotonId>("id");
    QTest::addColumn<int>("imagen");
    QTest::addColumn<bool>("habilitado");
    QTest::addColumn<bool>("barraHabilitada");
    QTest::addColumn<bool>("esperado");
    QTest::newRow("continuar") << ToolButtonContinuarDetener << 1 << true << true << true;
    QTest::newRow("guardar") << ToolButtonAbrirGuardar << 3 << true << true << true;
    QTest::newRow("eliminar deshabilitado")
        << ToolButtonSumarRestar << 8 << false << true << false;
    QTest::newRow("progreso con la barra deshabilitada")
        << ToolButtonAjusteProgreso << 11 << true << false << false;
    QTest::newRow("cancelar, ambos deshabilitados")
        << ToolButtonCancelar << 5 << false << false << false;
  }

  // The timer shows the program's buttons whatever command changed them.
  void botonesSiguenAlPrograma() {
    QFETCH(TBotonId, id);
    QFETCH(int, imagen);
    QFETCH(bool, habilitado);
    QFETCH(bool, barraHabilitada);
    QFETCH(bool, esperado);
    TFormDList& ventana = Abrir();
    TPrograma& programa = ventana.Programa();
    programa.Botones[id] = {imagen, u"Pista de prueba.", habilitado};
    programa.ToolbarEnabled = barraHabilitada;
    QToolButton* boton = Boton(id);
    QTRY_COMPARE(boton->toolTip(), QStringLiteral("Pista de prueba."));
    QCOMPARE(boton->isEnabled(), esperado);
    QVERIFY(MismaImagen(boton->icon(), imagen));
    if (!barraHabilitada) {
      for (int i = 0; i < kNumBotones; ++i) QVERIFY(!Boton(TBotonId(i))->isEnabled());
    }
  }

  // Every state of every button has a picture of its own.
  void imagenesDistintas() {
    QList<QImage> vistas;
    for (int i = 0; i < kNumImagenes; ++i) {
      const QImage imagen = ImagenHerramienta(i).toImage();
      QCOMPARE(imagen.size(), QSize(32, 32));
      QVERIFY2(!vistas.contains(imagen), qPrintable(QString::number(i)));
      vistas << imagen;
    }
    QImage vacia(32, 32, vistas.front().format());
    vacia.fill(Qt::transparent);
    QVERIFY(!vistas.contains(vacia));
  }

  void actualizarEncuentraUnidadesNuevas() {
    TFormDList& ventana = Abrir();
    auto* lista = Control<QListView>("DListBox");
    QCOMPARE(lista->model()->rowCount(), 0);
    QVERIFY(!Boton(ToolButtonCancelar)->isEnabled());

    unidades_->Poner(u'E', 0x2222, u"DOS");
    unidades_->Poner(u'D', 0x1111, u"UNO");
    QTest::mouseClick(Boton(ToolButtonActualizar), Qt::LeftButton);
    // Shown right after the click, before any timer tick.
    QCOMPARE(lista->model()->rowCount(), 2);
    QCOMPARE(ventana.Programa().DList.size(), 2u);
    QVERIFY(ventana.Programa().DList[0]->GetAppRec().Letra == u"D");
    QVERIFY(Boton(ToolButtonCancelar)->isEnabled());
    QVERIFY(Boton(ToolButtonActualizar)->isEnabled());
  }

  void coloresDeLaPaleta() {
    TFormDList& ventana = Abrir();
    const QPalette paleta = Control<QListView>("DListBox")->palette();
    QCOMPARE(ColorQt(ventana.Programa().ColorResaltado), paleta.color(QPalette::Highlight));
    QCOMPARE(ColorQt(ventana.Programa().ColorLista), paleta.color(QPalette::Base));
    QCOMPARE(ColorQt(ventana.Programa().ColorTexto), paleta.color(QPalette::WindowText));
  }

  // Long commands repaint the memory bar in their midst, without the event loop.
  void repintarMemoriaPintaEnElActo() {
    TFormDList& ventana = Abrir();
    ventana.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ventana));
    auto* memoria = Control<QWidget>("PBMemoria");
    struct Contador : QObject {
      int pinturas = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++pinturas;
        return false;
      }
    } contador;
    memoria->installEventFilter(&contador);
    ventana.Programa().RepintarMemoria();
    QCOMPARE(contador.pinturas, 1);
  }

  void procesarMensajesAtiendeLosPendientes() {
    TFormDList& ventana = Abrir();
    bool atendido = false;
    QMetaObject::invokeMethod(&ventana, [&] { atendido = true; }, Qt::QueuedConnection);
    ventana.Programa().ProcesarMensajes();
    QVERIFY(atendido);
  }

  void cerrarTerminaLosTrabajadores() {
    unidades_->Poner(u'D', 0x1111, u"UNO");
    unidades_->Poner(u'E', 0x2222, u"DOS");
    Abrir();
    const auto hilos = ventana_->Programa().DList;
    QCOMPARE(hilos.size(), 2u);
    ventana_.reset();
    for (const auto& hilo : hilos) QVERIFY(hilo->Terminated());
  }

  // A command that changes nothing visible says so under the summary line until the next one.
  void avisoBajoElResumen() {
    unidades_->Poner(u'D', 0x1111, u"UNO");
    TFormDList& ventana = Abrir();
    ventana.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ventana));
    auto* aviso = Control<QLabel>("Aviso");
    QVERIFY(aviso->isHidden());
    ventana.Programa().ToolButtonPriorizarClick();
    QTRY_VERIFY(aviso->isVisible());
    QCOMPARE(aviso->text(), QStringLiteral("Aún no hay copia: no hay nada que priorizar."));
    QVERIFY(aviso->geometry().top() > Control<QLabel>("Resumen")->geometry().top());
    // The next command clears it.
    QTest::mouseClick(Boton(ToolButtonAjusteProgreso), Qt::LeftButton);
    QTRY_VERIFY(aviso->isHidden());
  }
};

QTEST_MAIN(VentanaTest)
#include "ventana_test.moc"
