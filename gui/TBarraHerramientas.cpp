#include "gui/TBarraHerramientas.h"

#include <QLayout>
#include <QToolButton>

#include "gui/ImagenesHerramientas.h"

namespace {

constexpr QSize kTallaBoton(39, 38);

constexpr std::array<const char*, kNumBotones> kNombres = {
    "ToolButtonContinuarDetener", "ToolButtonAbrirGuardar", "ToolButtonPriorizar",
    "ToolButtonCancelar",         "ToolButtonActualizar",   "ToolButtonSumarRestar",
    "ToolButtonListar",           "ToolButtonVerificar",    "ToolButtonAjusteProgreso"};

}  // namespace

TBarraHerramientas::TBarraHerramientas(QWidget* parent) : QToolBar(parent) {
  setObjectName(QStringLiteral("ToolBarHerramientas"));
  setMovable(false);
  imagenes_.fill(-1);
  layout()->setSpacing(0);
  layout()->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < kNumBotones; ++i) {
    auto* boton = new QToolButton(this);
    boton->setObjectName(QString::fromLatin1(kNombres[i]));
    boton->setFixedSize(kTallaBoton);
    boton->setIconSize(QSize(kTallaImagen, kTallaImagen));
    boton->setAutoRaise(true);
    connect(boton, &QToolButton::clicked, this, [this, i] { emit Pulsado(TBotonId(i)); });
    addWidget(boton);
    botones_[i] = boton;
  }
}

void TBarraHerramientas::Mostrar(const std::array<TBoton, kNumBotones>& botones,
                                 bool habilitada) {
  for (int i = 0; i < kNumBotones; ++i) {
    const TBoton& estado = botones[i];
    QToolButton* boton = botones_[i];
    if (imagenes_[i] != estado.ImageIndex) {
      boton->setIcon(QIcon(ImagenHerramienta(estado.ImageIndex)));
      imagenes_[i] = estado.ImageIndex;
    }
    boton->setToolTip(QString::fromStdU16String(estado.Hint));
    boton->setEnabled(estado.Enabled && habilitada);
  }
}
