// The settings panel (PageControlConfigurar): the colour boxes of the bars and the editor of the
// five settings. It shows the engine's shared values and changes none of them.
#pragma once

#include <QTabWidget>

struct TEntorno;

class TPanelConfigurar final : public QTabWidget {
  Q_OBJECT

 public:
  // `entorno` must outlive the panel.
  TPanelConfigurar(const TEntorno& entorno, QWidget* parent);
};
