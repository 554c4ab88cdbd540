// The status page's icons: ICO files of 16 x 16 images for the program and each kind of drive.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "gui/IconosIco.h"
#include "gui/TFormDList.h"
#include "platform/drives.h"
#include "tests/window/unidades_prueba.h"

namespace {

// One image of 16 x 16 in an ICO file: the directory says so and Qt reads it back.
bool IcoDe16(const std::string& ico) {
  const QByteArray bytes = QByteArray::fromStdString(ico);
  if (bytes.size() < 6 || bytes.left(6) != QByteArray("\0\0\1\0\1\0", 6)) return false;
  const QImage imagen = QImage::fromData(bytes, "ICO");
  return imagen.size() == QSize(16, 16);
}

}  // namespace

class IconosIcoTest : public QObject {
  Q_OBJECT

 private slots:
  void programaYUnidadesPorSuTipo() {
    QTemporaryDir carpeta;
    auto tabla = platform::MakeFakeDrives();
    const auto previa = platform::CurrentDrives();
    platform::SetDrives(tabla);
    const struct {
      char16_t letra;
      std::uint32_t tipo;
      bool con_icono;
    } unidades[] = {
        {u'D', platform::DRIVE_FIXED, true},
        {u'E', platform::DRIVE_REMOVABLE, true},
        {u'F', platform::DRIVE_REMOTE, true},
        {u'G', platform::DRIVE_CDROM, false},  // never in the device list
    };
    for (const auto& u : unidades) {
      const QString ruta = carpeta.filePath(QChar(u.letra));
      QVERIFY(QDir().mkdir(ruta));
      tabla->Put({std::u16string(1, u.letra), ruta.toStdString(), u"", u.letra, u.tipo, 512,
                  true});
    }
    const std::string programa = "/opt/orsanta/orsanta";
    const auto icono_ico = CrearIconosIco(IconoPrograma(), programa);

    const std::string del_programa = icono_ico(programa);
    QVERIFY(IcoDe16(del_programa));
    // The tile's blue, opaque, as drawn.
    const QImage leida = QImage::fromData(QByteArray::fromStdString(del_programa), "ICO");
    QCOMPARE(leida.pixelColor(2, 8), QColor(30, 100, 200));
    for (const auto& u : unidades) {
      const std::string raiz = carpeta.filePath(QChar(u.letra)).toStdString();
      QCOMPARE(IcoDe16(icono_ico(raiz)), u.con_icono);
      QVERIFY(icono_ico(raiz + "/archivo.txt").empty());  // a file on the drive, not its root
    }
    QVERIFY(icono_ico("/ninguna/unidad").empty());
    tabla->Remove(u"E");
    QVERIFY(icono_ico(carpeta.filePath(QStringLiteral("E")).toStdString()).empty());
    platform::SetDrives(previa);
  }

  void laVentanaDaAlProgramaSuRutaYSusIconos() {
    TUnidadesPrueba unidades;
    auto ventana = std::make_unique<TFormDList>();
    TPrograma& programa = ventana->Programa();
    QCOMPARE(QString::fromStdString(programa.RutaPrograma),
             QCoreApplication::applicationFilePath());
    QVERIFY(programa.IconoIco);
    QVERIFY(IcoDe16(programa.IconoIco(programa.RutaPrograma)));
    QVERIFY(!ventana->windowIcon().isNull());
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    ventana.reset();
    for (const auto& hilo : hilos) QTRY_VERIFY(hilo->Finished());
  }
};

QTEST_MAIN(IconosIcoTest)
#include "iconos_ico_test.moc"
