// The command line's words: what each command takes, and every refusal before anything runs.
#include <gtest/gtest.h>

#include "cli/Argumentos.h"

namespace {

TArgumentos Leer(const std::vector<std::string>& palabras) {
  TArgumentos argumentos;
  std::string error;
  EXPECT_TRUE(LeerArgumentos(palabras, &argumentos, &error)) << error;
  return argumentos;
}

std::string Error(const std::vector<std::string>& palabras) {
  TArgumentos argumentos;
  std::string error;
  EXPECT_FALSE(LeerArgumentos(palabras, &argumentos, &error));
  EXPECT_FALSE(error.empty());
  return error;
}

TEST(ArgumentosTest, ACopyTakesItsDestinationsOptionsAndPathsInAnyOrder) {
  const TArgumentos a = Leer({"copy", "--to", "UNO", "/media/src/a", "--to=0A1B2C3D",
                              "--eject", "--no-verify", "--json", "b", "--", "--to", "-x"});
  EXPECT_EQ(a.Comando, TComando::Copiar);
  EXPECT_EQ(a.Destinos, (std::vector<std::string>{"UNO", "0A1B2C3D"}));
  EXPECT_EQ(a.Operandos, (std::vector<std::string>{"/media/src/a", "b", "--to", "-x"}));
  EXPECT_TRUE(a.Json);
  EXPECT_TRUE(a.Expulsar);
  // Without --to: the destinations are chosen later ("removable").
  EXPECT_TRUE(Leer({"copy", "a"}).Destinos.empty());
  EXPECT_EQ(Leer({"copy", "-"}).Operandos, (std::vector<std::string>{"-"}));
}

TEST(ArgumentosTest, TheOtherCommands) {
  EXPECT_EQ(Leer({"drives"}).Comando, TComando::Unidades);
  EXPECT_TRUE(Leer({"drives", "--json"}).Json);
  const TArgumentos lista = Leer({"list", "--to", "removable", "--to", "/media/x"});
  EXPECT_EQ(lista.Comando, TComando::Listar);
  EXPECT_EQ(lista.Destinos, (std::vector<std::string>{"removable", "/media/x"}));
  const TArgumentos abrir = Leer({"open", "--eject", "copia.orsc"});
  EXPECT_EQ(abrir.Comando, TComando::Abrir);
  EXPECT_EQ(abrir.Operandos, (std::vector<std::string>{"copia.orsc"}));
  EXPECT_EQ(Leer({"--help"}).Comando, TComando::Ayuda);
  EXPECT_EQ(Leer({"-h"}).Comando, TComando::Ayuda);
  EXPECT_EQ(Leer({"help"}).Comando, TComando::Ayuda);
  EXPECT_EQ(Leer({"copy", "--help"}).Comando, TComando::Ayuda);
}

TEST(ArgumentosTest, TheReadBackIsChosenPerRunAndTheVerifyCommandTakesDestinations) {
  EXPECT_FALSE(Leer({"copy", "a"}).Verificar.has_value());
  EXPECT_EQ(Leer({"copy", "--verify", "a"}).Verificar, true);
  EXPECT_EQ(Leer({"open", "--no-verify", "a.orsc"}).Verificar, false);
  EXPECT_NE(Error({"copy", "--verify", "--no-verify", "a"}).find("--no-verify"), std::string::npos);
  const TArgumentos verificar = Leer({"verify", "--to", "UNO", "--json"});
  EXPECT_EQ(verificar.Comando, TComando::Verificar);
  EXPECT_EQ(verificar.Destinos, (std::vector<std::string>{"UNO"}));
  EXPECT_TRUE(Leer({"verify"}).Destinos.empty());
  Error({"verify", "a"});
  Error({"verify", "--eject"});
  Error({"verify", "--no-verify"});
}

TEST(ArgumentosTest, BadUsageIsRefusedWithAMessage) {
  Error({});
  EXPECT_NE(Error({"copiar", "a"}).find("copiar"), std::string::npos);
  EXPECT_NE(Error({"copy"}).find("RUTA"), std::string::npos);
  EXPECT_NE(Error({"copy", "a", "--to"}).find("--to"), std::string::npos);
  Error({"copy", "--to=", "a"});
  EXPECT_NE(Error({"copy", "--bogus", "a"}).find("--bogus"), std::string::npos);
  Error({"copy", "-x", "a"});
  Error({"copy", "--json=1", "a"});
  Error({"drives", "x"});
  Error({"drives", "--to", "x"});
  Error({"drives", "--eject"});
  Error({"list"});
  Error({"list", "--to", "x", "a"});
  Error({"list", "--to", "x", "--eject"});
  Error({"open"});
  Error({"open", "a.orsc", "b.orsc"});
  Error({"open", "--to", "x", "a.orsc"});
  Error({"help", "copy"});
}

TEST(ArgumentosTest, TheUsageNamesEveryCommandAndTheExitStatuses) {
  const std::string uso = Uso();
  for (const char* palabra : {"drives", "copy", "list", "open", "verify", "--to", "--eject",
                              "--json", "removable", "130", "143"}) {
    EXPECT_NE(uso.find(palabra), std::string::npos) << palabra;
  }
}

}  // namespace
