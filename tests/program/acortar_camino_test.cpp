#include "app/AcortarCamino.h"

#include <gtest/gtest.h>

#include "tests/support/canvas_registro.h"

namespace {

struct Caso {
  const char16_t* path;
  int width;  // one pixel per character
  const char16_t* expected;
};

TEST(AcortarCamino, DropsLeadingFoldersFirstThenTheFrontOfTheName) {
  const Caso cases[] = {
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 100, u"Fotos\\2016\\Viaje\\IMG_0001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 29, u"Fotos\\2016\\Viaje\\IMG_0001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 28, u"...\\2016\\Viaje\\IMG_0001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 22, u"...\\Viaje\\IMG_0001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 16, u"...\\IMG_0001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 15, u"...\\...0001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 14, u"...\\...001.JPG"},
      {u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 0, u"...\\..."},
      {u"archivo.txt", 5, u"...xt"},
      {u"abc", 1, u"abc"},
      {u"", 0, u""},
      {u"carpeta\\", 3, u"...\\"},
  };
  testing_support::CanvasRegistro canvas;
  for (const auto& c : cases) {
    EXPECT_EQ(AcortarCamino(c.path, canvas, c.width), c.expected)
        << "width " << c.width;
  }
}

TEST(RecortarCarpeta, ReplacesOneMoreLeadingFolderEachCall) {
  EXPECT_EQ(RecortarCarpeta(u"Fotos\\2016\\Viaje\\"), u"...\\2016\\Viaje\\");
  EXPECT_EQ(RecortarCarpeta(u"...\\2016\\Viaje\\"), u"...\\Viaje\\");
  EXPECT_EQ(RecortarCarpeta(u"...\\Viaje\\"), u"...\\");
  EXPECT_EQ(RecortarCarpeta(u".git\\x\\"), u"...\\x\\");
}

}  // namespace
