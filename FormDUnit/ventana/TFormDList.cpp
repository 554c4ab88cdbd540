#include "FormDUnit/ventana/TFormDList.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "FormDUnit/ventana/ColoresQt.h"
#include "FormDUnit/ventana/TBarraHerramientas.h"
#include "FormDUnit/ventana/TBarraMemoria.h"
#include "FormDUnit/ventana/TDelegadoDispositivo.h"
#include "FormDUnit/ventana/TListaDispositivos.h"
#include "FormDUnit/ventana/TPanelConfigurar.h"
#include "platform/thread.h"

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

  panel_ = new TPanelConfigurar(*programa_->Entorno, this);
  lista_->setObjectName(QStringLiteral("DListBox"));
  lista_->setToolTip(QStringLiteral("Arrastre hasta aquí los archivos a copiar."));
  lista_->setItemDelegate(new TDelegadoDispositivo(*programa_, lista_));
  herramientas_ = new TBarraHerramientas(this);
  memoria_ = new TBarraMemoria(*programa_, this);
  memoria_->setObjectName(QStringLiteral("PBMemoria"));
  auto* columna = new QVBoxLayout(this);
  columna->setContentsMargins(0, 0, 0, 0);
  columna->setSpacing(0);
  columna->addWidget(panel_);
  columna->addWidget(lista_, 1);
  columna->addWidget(PanelBarra(herramientas_, memoria_, this));

  const QPalette colores = lista_->palette();
  programa_->ColorResaltado = ColorCanvas(colores.color(QPalette::Highlight));
  programa_->ColorLista = ColorCanvas(colores.color(QPalette::Base));
  programa_->ColorTexto = ColorCanvas(colores.color(QPalette::WindowText));
  programa_->RepintarMemoria = [this] { memoria_->repaint(); };
  programa_->ProcesarMensajes = [] { QCoreApplication::processEvents(); };
  // Workers beep from their own threads; the sound is made on the main thread.
  platform::SetBeepHook([](unsigned) {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
  });
  connect(herramientas_, &TBarraHerramientas::Pulsado, this, &TFormDList::BotonPulsado);
  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("TimerV"));
  timer_->setInterval(kIntervaloTimer);
  connect(timer_, &QTimer::timeout, this, &TFormDList::TimerVTimer);

  programa_->FormCreate();
  MostrarEstado();
  Colocar();
  timer_->start();
}

TFormDList::~TFormDList() {
  timer_->stop();
  platform::SetBeepHook(nullptr);
  programa_->FormDestroy();
}

void TFormDList::BotonPulsado(TBotonId boton) {
  switch (boton) {
    case ToolButtonActualizar:
      programa_->ToolButtonActualizarClick();
      break;
    default:
      break;  // a button whose command the program does not have does nothing
  }
  MostrarEstado();
}

void TFormDList::TimerVTimer() {
  programa_->TimerVTimer();
  MostrarEstado();
  lista_->viewport()->update();
  memoria_->update();
}

void TFormDList::MostrarEstado() {
  herramientas_->Mostrar(programa_->Botones, programa_->ToolbarEnabled);
  setWindowTitle(QString::fromStdU16String(programa_->Caption));
  panel_->setVisible(programa_->PanelConfigurarVisible);
}

void TFormDList::Colocar() {
  const int ancho_pantalla = QGuiApplication::primaryScreen()->geometry().width();
  move(ancho_pantalla - width() - fontMetrics().horizontalAdvance(QStringLiteral("HHH")), kArriba);
}
