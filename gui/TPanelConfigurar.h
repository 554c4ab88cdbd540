// The settings panel (PageControlConfigurar): the colour boxes of the bars and the editor of the
// five settings. Every entry goes to the program to be checked and applied, and the editor then
// shows the values as the program holds them.
#pragma once

#include <QTabWidget>

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

  TPrograma& programa_;
  QTableWidget* editor_;  // ValueListEditorVariables
  bool cerrado_ = false;
};
