// The editors of the settings' value column: digits only for the number rows (at most 3, 2 and
// 5 of them), a read-only pick list "Si"/"No" for the yes/no rows. Every entry the editor hands
// back (Enter, a pick, or leaving the row) goes to `Validar` with the row (0 to 4) and its text.
#pragma once

#include <QStyledItemDelegate>
#include <functional>

class TDelegadoVariables final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  TDelegadoVariables(std::function<void(int fila, const QString& texto)> validar,
                     QObject* parent);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 private:
  void Confirmar();

  const std::function<void(int, const QString&)> validar_;
};
