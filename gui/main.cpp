#include <QApplication>

#include "gui/TFormDList.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TFormDList FormDList;
  FormDList.show();
  return app.exec();
}
