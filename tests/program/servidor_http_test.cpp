// The HTTP server component with handlers of the test's own, fetched by a real client.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "platform/http_server.h"
#include "tests/support/servidor_local.h"

namespace {

using testing_support::ActivarEnPuertoLibre;
using testing_support::Cliente;

class ServidorHttpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(puerto = ActivarEnPuertoLibre(*servidor), 0); }

  std::atomic<int> llamadas{0};
  std::string cuerpo = "p\xE1gina";
  std::unique_ptr<platform::HttpServer> servidor = platform::MakeHttpServer([this] {
    ++llamadas;
    return cuerpo;
  });
  std::uint16_t puerto = 0;
};

TEST_F(ServidorHttpTest, OtherMethodsDoNotReachTheHandler) {
  auto cliente = Cliente(puerto);
  const struct {
    const char* metodo;
    httplib::Result respuesta;
  } casos[] = {
      {"PUT", cliente.Put("/", "x", "text/plain")},
      {"DELETE", cliente.Delete("/")},
      {"OPTIONS", cliente.Options("/")},
      {"PATCH", cliente.Patch("/", "x", "text/plain")},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.metodo);
    ASSERT_TRUE(c.respuesta);
    EXPECT_NE(c.respuesta->status, 200);
  }
  EXPECT_EQ(llamadas.load(), 0);
}

TEST_F(ServidorHttpTest, AFailingHandlerAnswers500WithItsMessage) {
  auto fallido = platform::MakeHttpServer([]() -> std::string {
    throw std::runtime_error("sin memoria para la p\xE1gina");
  });
  const std::uint16_t otro = ActivarEnPuertoLibre(*fallido);
  ASSERT_NE(otro, 0);
  auto respuesta = Cliente(otro).Get("/");
  ASSERT_TRUE(respuesta);
  EXPECT_EQ(respuesta->status, 500);
  EXPECT_EQ(respuesta->body, "sin memoria para la p\xE1gina");
}

TEST_F(ServidorHttpTest, ATakenPortFailsAndAFreedOneCanBeTakenAgain) {
  // A port held by any other socket, and one held by another server like this one.
  testing_support::SocketLocal ocupado;
  ASSERT_NE(ocupado.Puerto(), 0);
  const std::uint16_t puertos[] = {ocupado.Puerto(), puerto};
  for (const std::uint16_t p : puertos) {
    auto segundo = platform::MakeHttpServer([] { return std::string(); });
    segundo->SetPort(p);
    EXPECT_FALSE(segundo->Activate()) << p;
    EXPECT_FALSE(segundo->Active());
  }

  // Connections the server closed linger on its side; they must not keep the port.
  ASSERT_TRUE(Cliente(puerto).Get("/"));
  servidor->Deactivate();
  EXPECT_FALSE(servidor->Active());
  EXPECT_TRUE(servidor->Activate());
  auto respuesta = Cliente(puerto).Get("/");
  ASSERT_TRUE(respuesta);
  EXPECT_EQ(respuesta->body, cuerpo);
}

TEST_F(ServidorHttpTest, DeactivatingRightAfterActivatingNeverHangs) {
  for (int i = 0; i < 50; ++i) {
    servidor->Deactivate();
    ASSERT_TRUE(servidor->Activate());
  }
  servidor->Deactivate();
  EXPECT_FALSE(servidor->Active());
}

}  // namespace
