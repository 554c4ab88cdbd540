// The settings panel worked by keyboard and mouse on the real widgets: every entry is checked by
// the program and shown back clamped; the colour boxes open the colour dialog.
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "gui/ColoresQt.h"
#include "gui/TFormDList.h"
#include "tests/window/unidades_prueba.h"

namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

}  // namespace

// Stands for the desktop's file manager: takes the file URLs the program asks to open.
class ReceptorUrls : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void Abrir(const QUrl& url) { urls << url; }
};

class AjustesVentanaTest : public QObject {
  Q_OBJECT

 private:
  TPrograma& Programa() { return ventana_->Programa(); }
  template <typename T>
  T* Control(const char* nombre) {
    T* control = ventana_->findChild<T*>(QString::fromLatin1(nombre));
    if (control == nullptr) qFatal("no control %s", nombre);
    return control;
  }
  QRect Celda(int fila, int columna) {
    return editor_->visualItemRect(editor_->item(fila, columna));
  }
  // Typing on a row starts its edit with that key; the rest goes to the editor it opened.
  QLineEdit* Escribir(int fila, const QString& texto) {
    editor_->setCurrentCell(fila, 1);
    QTest::keyClick(editor_, texto.at(0).toLatin1());
    auto* linea = editor_->viewport()->findChild<QLineEdit*>();
    if (linea == nullptr) return nullptr;
    QTest::keyClicks(linea, texto.mid(1));
    return linea;
  }
  QString Mostrado(int fila) { return editor_->item(fila, 1)->text(); }
  // An open editor is the cell's index widget until it closes.
  bool Editando(int fila, int columna) {
    return editor_->indexWidget(editor_->model()->index(fila, columna)) != nullptr;
  }

  std::unique_ptr<QTemporaryDir> carpeta_;
  std::unique_ptr<TUnidadesPrueba> unidades_;
  std::unique_ptr<TFormDList> ventana_;
  QTableWidget* editor_ = nullptr;

 private slots:
  // The window on no drives, its settings as the defaults of a machine of 8 GiB, the panel
  // opened with its toolbar button.
  void init() {
    carpeta_ = std::make_unique<QTemporaryDir>();
    // The job reports go to the test's folder too.
    qputenv("XDG_DATA_HOME", carpeta_->path().toLocal8Bit());
    unidades_ = std::make_unique<TUnidadesPrueba>();
    ventana_ = std::make_unique<TFormDList>();
    // Read from and written to a folder of the test's own, not beside the test program.
    Programa().RutaConfiguracion =
        carpeta_->filePath(QStringLiteral("Orsanta.cfg")).toStdString();
    Programa().Entorno->MemoriaTotal = 8 * kGiB;
    Programa().LeerConfiguracion();
    ventana_->show();
    QVERIFY(QTest::qWaitForWindowExposed(ventana_.get()));
    QTest::mouseClick(Control<QToolButton>("ToolButtonAjusteProgreso"), Qt::LeftButton);
    QTRY_VERIFY(Control<QWidget>("PageControlConfigurar")->isVisible());
    editor_ = Control<QTableWidget>("ValueListEditorVariables");
  }

  void cleanup() {
    ventana_.reset();
    unidades_.reset();
    carpeta_.reset();
  }

  // The second page names the reports' folder and has the desktop open it, made if need be.
  void laCarpetaDeInformesSeAbreDesdeSuPagina() {
    Control<QTabWidget>("PageControlConfigurar")->setCurrentIndex(1);
    const QString carpeta = carpeta_->filePath(QStringLiteral("orsanta"));
    QVERIFY2(Control<QLabel>("LabelCarpetaInformes")->text().contains(carpeta),
             qPrintable(Control<QLabel>("LabelCarpetaInformes")->text()));
    ReceptorUrls receptor;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &receptor, "Abrir");
    QTest::mouseClick(Control<QPushButton>("ButtonAbrirInformes"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(receptor.urls, QList<QUrl>{QUrl::fromLocalFile(carpeta)});
    QVERIFY(QFileInfo(carpeta).isDir());
  }

  void muestraLosValoresDelPrograma() {
    QCOMPARE(editor_->horizontalHeaderItem(0)->text(), QStringLiteral("Variables"));
    QCOMPARE(editor_->horizontalHeaderItem(1)->text(), QStringLiteral("Valores"));
    QCOMPARE(editor_->toolTip(), QStringLiteral("Presione enter para validar sus datos."));
    const QStringList valores = {"2", "15", "Si", "80", "No"};
    for (int fila = 0; fila < valores.size(); ++fila) QCOMPARE(Mostrado(fila), valores[fila]);
    // The keys are not values: a double click opens no editor on them.
    QTest::mouseDClick(editor_->viewport(), Qt::LeftButton, {}, Celda(0, 0).center());
    QVERIFY(!Editando(0, 0));
  }

  void enterValidaYMuestraElValorAjustado_data() {
    QTest::addColumn<int>("fila");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("mostrado");
    QTest::newRow("memoria 0") << 0 << "0" << "1";
    QTest::newRow("memoria 5") << 0 << "5" << "5";
    QTest::newRow("memoria sobre el total") << 0 << "999" << "7";
    QTest::newRow("memoria de cuatro cifras") << 0 << "1234" << "7";  // only 123 is taken
    QTest::newRow("espera 0") << 1 << "0" << "1";
    QTest::newRow("espera 99") << 1 << "99" << "99";
    QTest::newRow("espera con letras") << 1 << "4a5" << "45";
    QTest::newRow("puerto 0") << 3 << "0" << "80";
    QTest::newRow("puerto 8080") << 3 << "8080" << "8080";
  }

  void enterValidaYMuestraElValorAjustado() {
    QFETCH(int, fila);
    QFETCH(QString, texto);
    QFETCH(QString, mostrado);
    QLineEdit* linea = Escribir(fila, texto);
    QVERIFY(linea != nullptr);
    QTest::keyClick(linea, Qt::Key_Return);
    QTRY_COMPARE(Mostrado(fila), mostrado);
    QCOMPARE(QString::fromStdU16String(Programa().Valores[fila]), mostrado);
    QTRY_VERIFY(!Editando(fila, 1));
    QVERIFY(!Programa().IdHTTPServer->Active());
  }

  void salirDeUnaFilaEditadaValida_data() {
    QTest::addColumn<bool>("con_raton");
    QTest::newRow("clic en otra fila") << true;
    QTest::newRow("tabulador") << false;
  }

  void salirDeUnaFilaEditadaValida() {
    QFETCH(bool, con_raton);
    QLineEdit* linea = Escribir(1, QStringLiteral("0"));
    QVERIFY(linea != nullptr);
    QCOMPARE(Programa().Entorno->TiempoError.load(), 15000u);  // not before the row is left
    if (con_raton) {
      QTest::mouseClick(editor_->viewport(), Qt::LeftButton, {}, Celda(3, 1).center());
    } else {
      QTest::keyClick(linea, Qt::Key_Tab);
    }
    QTRY_COMPARE(Programa().Entorno->TiempoError.load(), 1000u);
    QCOMPARE(Mostrado(1), QStringLiteral("1"));
  }

  void elegirNoEnLaFila3_data() {
    QTest::addColumn<bool>("con_raton");
    QTest::newRow("teclado") << false;
    QTest::newRow("raton") << true;
  }

  void elegirNoEnLaFila3() {
    QFETCH(bool, con_raton);
    QVERIFY(Programa().UsarCaminoOrigen);
    QTest::mouseClick(editor_->viewport(), Qt::LeftButton, {}, Celda(2, 1).center());
    QTest::mouseDClick(editor_->viewport(), Qt::LeftButton, {}, Celda(2, 1).center());
    auto* lista = editor_->viewport()->findChild<QComboBox*>();
    QVERIFY(lista != nullptr);
    QVERIFY(!lista->isEditable());
    QCOMPARE(lista->currentText(), QStringLiteral("Si"));
    if (con_raton) {
      lista->showPopup();
      QAbstractItemView* opciones = lista->view();
      QTRY_VERIFY(opciones->isVisible());
      const QPoint no = (opciones->visualRect(opciones->model()->index(1, 0)) &
                         opciones->viewport()->rect())
                            .center();
      QTest::mouseMove(opciones->viewport(), no);
      QTest::mouseClick(opciones->viewport(), Qt::LeftButton, {}, no);
    } else {
      QTest::keyClick(lista, Qt::Key_Down);
    }
    QTRY_VERIFY(!Programa().UsarCaminoOrigen);
    QCOMPARE(Mostrado(2), QStringLiteral("No"));
  }

  // The label sits in the middle of the box, over the box's colour.
  void cajaDeColorConSuEtiquetaCentrada_data() {
    QTest::addColumn<QString>("caja");
    QTest::newRow("origen") << "PaintBoxColorOrigen";
    QTest::newRow("destino") << "PaintBoxColorDestino";
    QTest::newRow("error") << "PaintBoxColorError";
  }

  void cajaDeColorConSuEtiquetaCentrada() {
    QFETCH(QString, caja);
    auto* widget = Control<QWidget>(caja.toLatin1().constData());
    const QImage imagen = widget->grab().toImage();
    const QColor fondo = imagen.pixelColor(0, 0);
    QRect texto;
    for (int y = 0; y < imagen.height(); ++y) {
      for (int x = 0; x < imagen.width(); ++x) {
        if (imagen.pixelColor(x, y) != fondo) texto |= QRect(x, y, 1, 1);
      }
    }
    QVERIFY(!texto.isEmpty());
    QVERIFY(qAbs(texto.center().x() - imagen.width() / 2) <= 2);
    QVERIFY(qAbs(texto.center().y() - imagen.height() / 2) <= 3);
  }

  void cajaDeColorAbreElDialogo_data() {
    QTest::addColumn<QString>("caja");
    QTest::addColumn<int>("campo");  // 0 origen, 1 destino, 2 error
    QTest::addColumn<bool>("acepta");
    QTest::newRow("origen") << "PaintBoxColorOrigen" << 0 << true;
    QTest::newRow("destino") << "PaintBoxColorDestino" << 1 << true;
    QTest::newRow("error") << "PaintBoxColorError" << 2 << true;
    QTest::newRow("cancelado") << "PaintBoxColorOrigen" << 0 << false;
  }

  void cajaDeColorAbreElDialogo() {
    QFETCH(QString, caja);
    QFETCH(int, campo);
    QFETCH(bool, acepta);
    TColores& paleta = Programa().Colores;
    std::atomic<platform::Color>* colores[] = {&paleta.ColorOrigen, &paleta.ColorDestino,
                                               &paleta.ColorError};
    const platform::Color antes = colores[campo]->load();
    auto* widget = Control<QWidget>(caja.toLatin1().constData());
    QCOMPARE(widget->toolTip(), QStringLiteral("Hacer clic para cambiar el color."));

    QColor preseleccionado;
    // Runs inside the dialog's own loop.
    QTimer::singleShot(0, this, [&] {
      auto* dialogo = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
      if (dialogo == nullptr) return;
      preseleccionado = dialogo->currentColor();
      if (acepta) {
        dialogo->setCurrentColor(QColor(12, 34, 56));
        dialogo->accept();
      } else {
        dialogo->setCurrentColor(QColor(1, 1, 1));
        dialogo->reject();
      }
    });
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(preseleccionado, ColorQt(antes));
    QCOMPARE(colores[campo]->load(), acepta ? platform::Rgb(12, 34, 56) : antes);
  }
};

QTEST_MAIN(AjustesVentanaTest)
#include "ajustes_ventana_test.moc"
