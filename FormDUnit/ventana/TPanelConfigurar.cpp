#include "FormDUnit/ventana/TPanelConfigurar.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include "DUnit/TEntorno.h"
#include "FormDUnit/ventana/TCajaColor.h"

namespace {

constexpr int kAlto = 206;
constexpr QSize kTallaCaja(62, 41);
constexpr int kAltoFila = 20;

const char* const kVariables[] = {
    "Memoria libre (Gigabytes)",      "Esperar respuesta (Segundos)",
    "Usar camino del origen (Si/No)", "Puerto web (1..65535)",
    "Activar Servidor Web (Si/No)",
};

QGroupBox* GrupoColores(const TEntorno& entorno, QWidget* parent) {
  struct Caja {
    const char* nombre;
    const char* etiqueta;
    const std::atomic<platform::Color>& color;
  };
  const Caja cajas[] = {
      {"PaintBoxColorOrigen", "Origen", entorno.ColorOrigen},
      {"PaintBoxColorDestino", "Destino", entorno.ColorDestino},
      {"PaintBoxColorError", "Error", entorno.ColorError},
  };
  auto* grupo = new QGroupBox(QStringLiteral("Colores"), parent);
  grupo->setObjectName(QStringLiteral("GroupBoxColores"));
  auto* rejilla = new QGridLayout(grupo);
  rejilla->setContentsMargins(6, 4, 6, 4);
  int fila = 0;
  for (const Caja& caja : cajas) {
    auto* widget = new TCajaColor(caja.color, grupo);
    widget->setObjectName(QString::fromLatin1(caja.nombre));
    widget->setFixedSize(kTallaCaja);
    rejilla->addWidget(new QLabel(QString::fromLatin1(caja.etiqueta), grupo), fila, 0);
    rejilla->addWidget(widget, fila, 1);
    ++fila;
  }
  return grupo;
}

QTableWidget* EditorVariables(QWidget* parent) {
  auto* editor = new QTableWidget(std::size(kVariables), 2, parent);
  editor->setObjectName(QStringLiteral("ValueListEditorVariables"));
  editor->setHorizontalHeaderLabels({QStringLiteral("Variables"), QStringLiteral("Valores")});
  editor->verticalHeader()->hide();
  editor->verticalHeader()->setDefaultSectionSize(kAltoFila);
  editor->horizontalHeader()->setFixedHeight(kAltoFila);
  // Both columns fit the panel: the keys take what the values leave.
  editor->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  editor->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  editor->setEditTriggers(QAbstractItemView::NoEditTriggers);
  int fila = 0;
  for (const char* variable : kVariables) {
    editor->setItem(fila, 0, new QTableWidgetItem(QString::fromUtf8(variable)));
    editor->setItem(fila, 1, new QTableWidgetItem());
    ++fila;
  }
  return editor;
}

}  // namespace

TPanelConfigurar::TPanelConfigurar(const TEntorno& entorno, QWidget* parent)
    : QTabWidget(parent) {
  setObjectName(QStringLiteral("PageControlConfigurar"));
  setFixedHeight(kAlto);
  auto* pagina = new QWidget(this);
  pagina->setObjectName(QStringLiteral("TabSheetConfigurar"));
  auto* fila = new QHBoxLayout(pagina);
  fila->setContentsMargins(4, 4, 4, 4);
  fila->addWidget(GrupoColores(entorno, pagina));
  fila->addWidget(EditorVariables(pagina), 1);
  addTab(pagina, QStringLiteral("Configurar"));
}
