#include "gui/DialogosLista.h"

#include <QFile>
#include <QFileDialog>

#include "app/TPrograma.h"

namespace {

bool Elegir(QFileDialog& dialogo, std::string* ruta) {
  dialogo.setNameFilter(QString::fromStdU16String(NombrePrograma()) + QStringLiteral(" (*.orsc)"));
  dialogo.setDefaultSuffix(QStringLiteral("orsc"));
  if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) return false;
  *ruta = QFile::encodeName(dialogo.selectedFiles().first()).toStdString();
  return true;
}

}  // namespace

bool DialogoAbrirLista(QWidget* ventana, std::string* ruta) {
  QFileDialog dialogo(ventana);
  dialogo.setAcceptMode(QFileDialog::AcceptOpen);
  dialogo.setFileMode(QFileDialog::ExistingFile);
  return Elegir(dialogo, ruta);
}

bool DialogoGuardarLista(QWidget* ventana, std::string* ruta) {
  QFileDialog dialogo(ventana);
  dialogo.setAcceptMode(QFileDialog::AcceptSave);
  dialogo.setFileMode(QFileDialog::AnyFile);
  dialogo.setOption(QFileDialog::DontConfirmOverwrite);
  return Elegir(dialogo, ruta);
}
