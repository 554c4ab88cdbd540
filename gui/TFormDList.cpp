#include "gui/TFormDList.h"

#include <cstdlib>
#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QCloseEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/PintarDispositivo.h"
#include "app/TallaStr.h"
#include "gui/ColoresQt.h"
#include "gui/QtCanvas.h"
#include "gui/DialogosLista.h"
#include "gui/IconosIco.h"
#include "gui/TBarraHerramientas.h"
#include "gui/TBarraMemoria.h"
#include "gui/TDelegadoDispositivo.h"
#include "gui/TListaDispositivos.h"
#include "gui/TPanelConfigurar.h"
#include "platform/thread.h"
#include "web/PaginaWeb.h"

namespace {

constexpr QSize kTallaCliente(483, 399);
constexpr int kPixelesFuente = 16;
constexpr int kAltoBarra = 46;
constexpr int kArriba = 256;
constexpr int kIntervaloTimer = 300;  // ms

QWidget* PanelBarra(QWidget* herramientas, QWidget* memoria, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QStringLiteral("PanelBarra"));
  panel->setFixedHeight(kAltoBarra);
  auto* fila = new QHBoxLayout(panel);
  fila->setContentsMargins(0, 0, 0, 0);
  fila->setSpacing(0);
  fila->addWidget(herramientas);
  fila->addWidget(memoria, 1);
  return panel;
}

}  // namespace

TFormDList::TFormDList(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      lista_(new TListaDispositivos(this)),
      programa_(std::make_unique<TPrograma>(*lista_)) {
  QFont fuente(QStringLiteral("Arial"));
  fuente.setPixelSize(kPixelesFuente);
  setFont(fuente);
  resize(kTallaCliente);
  // A drive's row and the memory text may need more than the designed width; the window can be
  // made narrower or wider by hand.
  setMinimumSize(200, 150);

  panel_ = new TPanelConfigurar(*programa_, this);
  lista_->setObjectName(QStringLiteral("DListBox"));
  lista_->setToolTip(QStringLiteral("Arrastre hasta aquí los archivos a copiar."));
  lista_->Modelo().HiloDeFila = [this](int fila) -> const TDHilo* {
    const auto& hilos = programa_->DList;
    return fila >= 0 && fila < static_cast<int>(hilos.size()) ? hilos[fila].get() : nullptr;
  };
  lista_->Modelo().FilaDeHilo = [this](const TDHilo& hilo) { return programa_->Fila(hilo); };
  lista_->setItemDelegate(new TDelegadoDispositivo(*programa_, lista_));
  resumen_ = new QLabel(this);
  resumen_->setObjectName(QStringLiteral("Resumen"));
  resumen_->setContentsMargins(4, 2, 4, 2);
  resumen_->setTextFormat(Qt::PlainText);
  aviso_ = new QLabel(this);
  aviso_->setObjectName(QStringLiteral("Aviso"));
  aviso_->setContentsMargins(4, 0, 4, 2);
  aviso_->setTextFormat(Qt::PlainText);
  aviso_->setWordWrap(true);
  aviso_->hide();
  herramientas_ = new TBarraHerramientas(this);
  memoria_ = new TBarraMemoria(*programa_, this);
  memoria_->setObjectName(QStringLiteral("PBMemoria"));
  auto* columna = new QVBoxLayout(this);
  columna->setContentsMargins(0, 0, 0, 0);
  columna->setSpacing(0);
  columna->addWidget(panel_);
  columna->addWidget(resumen_);
  columna->addWidget(aviso_);
  columna->addWidget(lista_, 1);
  columna->addWidget(PanelBarra(herramientas_, memoria_, this));

  const QPalette colores = lista_->palette();
  programa_->ColorResaltado = ColorCanvas(colores.color(QPalette::Highlight));
  programa_->ColorLista = ColorCanvas(colores.color(QPalette::Base));
  programa_->ColorTexto = ColorCanvas(colores.color(QPalette::WindowText));
  programa_->ColorVentana = ColorCanvas(palette().color(QPalette::Window));
  programa_->RepintarMemoria = [this] { memoria_->repaint(); };
  programa_->ProcesarMensajes = [] { QCoreApplication::processEvents(); };
  programa_->CursorOcupado = [](bool ocupado) {
    if (ocupado) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  };
  programa_->DialogoAbrir = [this](std::string* ruta) { return DialogoAbrirLista(this, ruta); };
  programa_->DialogoGuardar = [this](std::string* ruta) {
    return DialogoGuardarLista(this, ruta);
  };
  // A box owned by the window stays above it, always-on-top as the window is.
  // The program's notice, when it has one, says below the message why and what to do.
  programa_->Confirmar = [this](const std::u16string& pregunta) {
    return QMessageBox::question(this, QString::fromStdU16String(NombrePrograma()),
                                 QString::fromStdU16String(pregunta)) == QMessageBox::Yes;
  };
  programa_->MostrarMensaje = [this](const std::u16string& texto) {
    QMessageBox caja(QMessageBox::Information, QString::fromStdU16String(NombrePrograma()),
                     QString::fromStdU16String(texto), QMessageBox::Ok, this);
    caja.setInformativeText(QString::fromStdU16String(programa_->Aviso));
    caja.exec();
  };
  // Workers beep from their own threads; the sound is made on the main thread.
  platform::SetBeepHook([](unsigned) {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
  });
  connect(herramientas_, &TBarraHerramientas::Pulsado, this, &TFormDList::BotonPulsado);
  lista_->AceptaArchivos = [this] { return programa_->ToolbarEnabled; };
  connect(lista_, &TListaDispositivos::ArchivosSoltados, this, &TFormDList::ArchivosSoltados);
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("TimerV"));
  timer_->setInterval(kIntervaloTimer);
  connect(timer_, &QTimer::timeout, this, &TFormDList::TimerVTimer);

  // Before FormCreate, whose settings may start the HTTP server.
  setWindowIcon(IconoPrograma());
  programa_->RutaPrograma =
      QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
  programa_->IconoIco = CrearIconosIco(windowIcon(), programa_->RutaPrograma);
  ConectarPaginaWeb(*programa_);
  programa_->Informe =
      TInformeTrabajos(CarpetaInformes(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
  programa_->FormCreate();
  MostrarEstado();
  resize(TallaInicial());
  Colocar();
  timer_->start();
}

void TFormDList::closeEvent(QCloseEvent* event) {
  if (!programa_->PuedeCerrar()) {
    event->ignore();
    return;
  }
  if (programa_->TrabajoEnCurso()) {
    // The workers end while the window still stands, and it says so: each one deletes the copy
    // it had under way, which on a slow stick takes a while.
    timer_->stop();
    QProgressDialog espera(QStringLiteral("Terminando las memorias y borrando lo que quedó a "
                                          "medio copiar..."),
                           QString(), 0, 1, this);
    espera.setObjectName(QStringLiteral("EsperaCierre"));
    espera.setWindowModality(Qt::WindowModal);
    espera.show();
    programa_->TerminarYEsperar([&espera](int quedan, int total) {
      espera.setMaximum(total);
      espera.setValue(total - quedan);
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
  }
  event->accept();
}

TFormDList::~TFormDList() {
  panel_->Cerrar();
  timer_->stop();
  platform::SetBeepHook(nullptr);
  programa_->FormDestroy();
}

void TFormDList::BotonPulsado(TBotonId boton) {
  // A long command lets clicks through while it processes messages; the buttons may still look
  // enabled until the next tick, but a disabled toolbar takes no command.
  if (!programa_->ToolbarEnabled) return;
  programa_->Aviso.clear();
  switch (boton) {
    case ToolButtonContinuarDetener:
      programa_->ToolButtonContinuarDetenerClick();
      break;
    case ToolButtonAbrirGuardar:
      programa_->ToolButtonAbrirGuardarClick();
      break;
    case ToolButtonPriorizar:
      programa_->ToolButtonPriorizarClick();
      break;
    case ToolButtonCancelar:
      programa_->ToolButtonCancelarClick();
      break;
    case ToolButtonActualizar:
      programa_->ToolButtonActualizarClick();
      break;
    case ToolButtonSumarRestar:
      programa_->ToolButtonSumarRestarClick();
      break;
    case ToolButtonListar:
      programa_->ToolButtonListarClick();
      break;
    case ToolButtonVerificar:
      programa_->ToolButtonVerificarClick();
      break;
    case ToolButtonAjusteProgreso:
      programa_->ToolButtonAjusteProgresoClick();
      break;
    case kNumBotones:
      break;
  }
  MostrarEstado();
  // A stopped copy, a cancelled stick: the rows say so now, not at the next tick.
  lista_->Modelo().Actualizar();
}

void TFormDList::ArchivosSoltados(const std::vector<std::string>& rutas) {
  // Taken once the drop event has returned, so that the file manager that dragged the names
  // is not kept waiting while they are processed.
  QMetaObject::invokeMethod(
      this,
      [this, rutas] {
        programa_->Aviso.clear();
        programa_->WMDropFiles(rutas);
        MostrarEstado();
      },
      Qt::QueuedConnection);
}

void TFormDList::TimerVTimer() {
  programa_->TimerVTimer();
  MostrarEstado();
  // After the program's tick, so that the rows show the speeds it has just sampled.
  lista_->Modelo().Actualizar();
  memoria_->update();
}

void TFormDList::MostrarEstado() {
  herramientas_->Mostrar(programa_->Botones, programa_->ToolbarEnabled);
  resumen_->setText(QString::fromStdU16String(TextoResumen(Resumir(programa_->Filas()))));
  aviso_->setText(QString::fromStdU16String(programa_->Aviso));
  aviso_->setVisible(!programa_->Aviso.empty());
  setWindowTitle(QString::fromStdU16String(programa_->Caption));
  panel_->setVisible(programa_->PanelConfigurarVisible);
}

QSize TFormDList::TallaInicial() {
  QImage lienzo(1, 1, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&lienzo);
  painter.setFont(lista_->font());
  QtCanvas canvas(painter);
  const int marco = 2 * lista_->frameWidth();
  const int barra_vertical = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lista_);
  const int fila = AnchoFilaNormal(canvas) + marco + barra_vertical;
  // The memory bar beside the toolbar holds its text with the most digits it can have.
  const std::u16string memoria = u" Memoria ocupada 100%, Libre " + TallaStr(999LL << 30) + u" ";
  const int abajo = herramientas_->sizeHint().width() + canvas.TextWidth(memoria);
  return QSize(std::max({kTallaCliente.width(), fila, abajo}), kTallaCliente.height());
}

void TFormDList::Colocar() {
  const int ancho_pantalla = QGuiApplication::primaryScreen()->geometry().width();
  move(ancho_pantalla - width() - fontMetrics().horizontalAdvance(QStringLiteral("HHH")), kArriba);
}
