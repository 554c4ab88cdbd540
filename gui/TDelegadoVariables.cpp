#include "gui/TDelegadoVariables.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace {

// Per row: the digits a number row admits, or none for a pick list.
constexpr int kDigitos[] = {3, 2, 0, 5, 0, 0, 0};

int Digitos(const QModelIndex& index) {
  const int fila = index.row();
  return fila >= 0 && fila < static_cast<int>(std::size(kDigitos)) ? kDigitos[fila] : 0;
}

}  // namespace

TDelegadoVariables::TDelegadoVariables(std::function<void(int, const QString&)> validar,
                                       QObject* parent)
    : QStyledItemDelegate(parent), validar_(std::move(validar)) {}

QWidget* TDelegadoVariables::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const {
  if (const int digitos = Digitos(index); digitos > 0) {
    auto* linea = new QLineEdit(parent);
    linea->setFrame(false);
    linea->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{1,%1}").arg(digitos)), linea));
    return linea;
  }
  auto* lista = new QComboBox(parent);
  lista->addItems({QStringLiteral("Si"), QStringLiteral("No")});
  // A pick is an entry of its own, as Enter is for a number.
  connect(lista, &QComboBox::activated, this, &TDelegadoVariables::Confirmar);
  return lista;
}

void TDelegadoVariables::Confirmar() {
  auto* editor = qobject_cast<QWidget*>(sender());
  emit commitData(editor);
  emit closeEditor(editor);
}

void TDelegadoVariables::setEditorData(QWidget* editor, const QModelIndex& index) const {
  const QString texto = index.data().toString();
  if (auto* lista = qobject_cast<QComboBox*>(editor)) {
    lista->setCurrentIndex(std::max(0, lista->findText(texto)));
  } else if (auto* linea = qobject_cast<QLineEdit*>(editor)) {
    linea->setText(texto);
  }
}

void TDelegadoVariables::setModelData(QWidget* editor, QAbstractItemModel*,
                                      const QModelIndex& index) const {
  if (auto* lista = qobject_cast<QComboBox*>(editor)) {
    validar_(index.row(), lista->currentText());
  } else if (auto* linea = qobject_cast<QLineEdit*>(editor)) {
    validar_(index.row(), linea->text());
  }
}
