// The settings panel (PageControlConfigurar): the colour boxes of the bars and the editor of the
// seven settings. Every entry goes to the program to be checked and applied, and the editor then
// shows the values as the program holds them. A second page names the folder of the job reports
// and opens it in the desktop's file manager.
#pragma once

#include <QTabWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class TPrograma;

class TPanelConfigurar final : public QTabWidget {
  Q_OBJECT

 public:
  // `programa` must stay until Cerrar.
  TPanelConfigurar(TPrograma& programa, QWidget* parent);

  // At shut-down, before the settings are saved: a value being typed is kept as typed, not
  // validated, and from then on no entry reaches the program.
  void Cerrar();

 protected:
  // The values are read when the panel comes into view: start-up read them after the panel
  // was made.
  void showEvent(QShowEvent* event) override;

 private:
  void Validar(int fila, const QString& texto);
  void MostrarValores();
  QWidget* PaginaInformes();
  // Made first if it is not there yet: a folder with no report yet still opens.
  void AbrirInformes();

  TPrograma& programa_;
  QTableWidget* editor_;  // ValueListEditorVariables
  QLabel* carpeta_informes_;
  QPushButton* abrir_informes_;
  bool cerrado_ = false;
};
