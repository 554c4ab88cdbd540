#include "gui/TPanelConfigurar.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "app/TPrograma.h"
#include "gui/TCajaColor.h"
#include "gui/TDelegadoVariables.h"

namespace {

constexpr int kAlto = 206;
constexpr QSize kTallaCaja(62, 41);
constexpr int kAltoFila = 20;

const char* const kVariables[] = {
    "Memoria libre (Gigabytes)",      "Esperar respuesta (Segundos)",
    "Usar camino del origen (Si/No)", "Puerto web (1..65535)",
    "Activar Servidor Web (Si/No)",   "Verificar copias (Si/No)",
    "Manifiesto en destinos (Si/No)",
};

QGroupBox* GrupoColores(TColores& colores, QWidget* parent) {
  struct Caja {
    const char* nombre;
    const char* etiqueta;
    std::atomic<platform::Color>& color;
  };
  const Caja cajas[] = {
      {"PaintBoxColorOrigen", "Origen", colores.ColorOrigen},
      {"PaintBoxColorDestino", "Destino", colores.ColorDestino},
      {"PaintBoxColorError", "Error", colores.ColorError},
  };
  auto* grupo = new QGroupBox(QStringLiteral("Colores"), parent);
  grupo->setObjectName(QStringLiteral("GroupBoxColores"));
  auto* columna = new QVBoxLayout(grupo);
  columna->setContentsMargins(6, 4, 6, 4);
  for (const Caja& caja : cajas) {
    auto* widget = new TCajaColor(caja.color, QString::fromLatin1(caja.etiqueta), grupo);
    widget->setObjectName(QString::fromLatin1(caja.nombre));
    widget->setFixedSize(kTallaCaja);
    columna->addWidget(widget);
  }
  return grupo;
}

QTableWidget* EditorVariables(QWidget* parent) {
  auto* editor = new QTableWidget(std::size(kVariables), 2, parent);
  editor->setObjectName(QStringLiteral("ValueListEditorVariables"));
  editor->setToolTip(QStringLiteral("Presione enter para validar sus datos."));
  editor->setHorizontalHeaderLabels({QStringLiteral("Variables"), QStringLiteral("Valores")});
  editor->verticalHeader()->hide();
  editor->verticalHeader()->setDefaultSectionSize(kAltoFila);
  editor->horizontalHeader()->setFixedHeight(kAltoFila);
  // Both columns fit the panel: the keys take what the values leave.
  editor->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  editor->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  editor->setSelectionMode(QAbstractItemView::SingleSelection);
  editor->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                          QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  int fila = 0;
  for (const char* variable : kVariables) {
    auto* clave = new QTableWidgetItem(QString::fromUtf8(variable));
    clave->setFlags(clave->flags() & ~Qt::ItemIsEditable);
    editor->setItem(fila, 0, clave);
    editor->setItem(fila, 1, new QTableWidgetItem());
    ++fila;
  }
  return editor;
}

}  // namespace

TPanelConfigurar::TPanelConfigurar(TPrograma& programa, QWidget* parent)
    : QTabWidget(parent), programa_(programa) {
  setObjectName(QStringLiteral("PageControlConfigurar"));
  setFixedHeight(kAlto);
  auto* pagina = new QWidget(this);
  pagina->setObjectName(QStringLiteral("TabSheetConfigurar"));
  auto* fila = new QHBoxLayout(pagina);
  fila->setContentsMargins(4, 4, 4, 4);
  fila->addWidget(GrupoColores(programa_.Colores, pagina));
  editor_ = EditorVariables(pagina);
  editor_->setItemDelegateForColumn(
      1, new TDelegadoVariables([this](int f, const QString& texto) { Validar(f, texto); },
                                editor_));
  fila->addWidget(editor_, 1);
  addTab(pagina, QStringLiteral("Configurar"));
  addTab(PaginaInformes(), QStringLiteral("Informes"));
}

QWidget* TPanelConfigurar::PaginaInformes() {
  auto* pagina = new QWidget(this);
  pagina->setObjectName(QStringLiteral("TabSheetInformes"));
  auto* columna = new QVBoxLayout(pagina);
  columna->setContentsMargins(6, 6, 6, 6);
  carpeta_informes_ = new QLabel(pagina);
  carpeta_informes_->setObjectName(QStringLiteral("LabelCarpetaInformes"));
  carpeta_informes_->setWordWrap(true);
  carpeta_informes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  columna->addWidget(carpeta_informes_);
  abrir_informes_ = new QPushButton(QStringLiteral("Abrir carpeta"), pagina);
  abrir_informes_->setObjectName(QStringLiteral("ButtonAbrirInformes"));
  connect(abrir_informes_, &QPushButton::clicked, this, [this] { AbrirInformes(); });
  columna->addWidget(abrir_informes_, 0, Qt::AlignLeft);
  columna->addStretch(1);
  return pagina;
}

void TPanelConfigurar::AbrirInformes() {
  const std::string& carpeta = programa_.Informe.Carpeta();
  if (carpeta.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(carpeta, error);
  if (error || !QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(carpeta.c_str())))) {
    carpeta_informes_->setText(QStringLiteral("No se pudo abrir la carpeta de informes:\n") +
                               QFile::decodeName(carpeta.c_str()));
  }
}

void TPanelConfigurar::showEvent(QShowEvent* event) {
  MostrarValores();
  // The folder is known once the window has started the program.
  const std::string& carpeta = programa_.Informe.Carpeta();
  carpeta_informes_->setText(
      carpeta.empty()
          ? QStringLiteral("No hay carpeta para los informes (falta HOME).")
          : QStringLiteral("Informe de cada trabajo (informe.csv, informe.jsonl) en:\n") +
                QFile::decodeName(carpeta.c_str()));
  abrir_informes_->setEnabled(!carpeta.empty());
  QTabWidget::showEvent(event);
}

void TPanelConfigurar::Cerrar() {
  const QModelIndex celda = editor_->currentIndex();
  QWidget* abierto = editor_->indexWidget(celda);
  if (auto* linea = qobject_cast<QLineEdit*>(abierto)) {
    programa_.Valores[celda.row()] = linea->text().toStdU16String();
  } else if (auto* lista = qobject_cast<QComboBox*>(abierto)) {
    programa_.Valores[celda.row()] = lista->currentText().toStdU16String();
  }
  cerrado_ = true;
}

// The editor admits digits only where a number is wanted, so no entry is refused here.
void TPanelConfigurar::Validar(int fila, const QString& texto) {
  if (cerrado_) return;
  programa_.ValidarVariable(fila + 1, texto.toStdU16String());
  MostrarValores();
}

// All rows: a new port also changes what row 5 shows.
void TPanelConfigurar::MostrarValores() {
  for (int fila = 0; fila < editor_->rowCount(); ++fila) {
    editor_->item(fila, 1)->setText(QString::fromStdU16String(programa_.Valores[fila]));
  }
}
