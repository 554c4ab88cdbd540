// The HTTP server component with handlers of the test's own, fetched by a real client, and by
// raw connections for what no ordinary client does.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/http_server.h"
#include "tests/support/esperar.h"
#include "tests/support/servidor_local.h"

namespace {

using testing_support::ActivarEnPuertoLibre;
using testing_support::Cliente;
using testing_support::ConexionLocal;
using testing_support::Esperar;

// An answer as it came on the wire.
struct Respuesta {
  int estado = 0;
  std::map<std::string, std::string> cabeceras;  // by name in lower case
  std::string cuerpo;
};

std::optional<Respuesta> Analizar(const std::string& bytes) {
  const auto fin_cabeceras = bytes.find("\r\n\r\n");
  if (!bytes.starts_with("HTTP/1.1 ") || fin_cabeceras == std::string::npos) return std::nullopt;
  Respuesta respuesta;
  respuesta.estado = std::atoi(bytes.c_str() + 9);
  std::istringstream lineas(bytes.substr(0, fin_cabeceras));
  std::string linea;
  std::getline(lineas, linea);  // the status line
  while (std::getline(lineas, linea)) {
    if (linea.ends_with('\r')) linea.pop_back();
    const auto dos_puntos = linea.find(": ");
    if (dos_puntos == std::string::npos) return std::nullopt;
    std::string nombre = linea.substr(0, dos_puntos);
    for (char& c : nombre) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    respuesta.cabeceras[nombre] = linea.substr(dos_puntos + 2);
  }
  respuesta.cuerpo = bytes.substr(fin_cabeceras + 4);
  return respuesta;
}

// What one raw connection gets for `peticion`; the answer, or an empty text when the connection
// ended without one.
std::string Pedir(std::uint16_t puerto, const std::string& peticion) {
  ConexionLocal conexion(puerto);
  if (!conexion.Conectada()) return "";
  // A refused request may be answered, and its connection ended, before it is all sent.
  conexion.Enviar(peticion);
  return conexion.LeerHastaElCierre().value_or("");
}

// Waits for what `tarea` runs. A server stuck there would hold the test's objects for ever, so
// past the limit the whole program ends with the failure.
void Terminada(std::future<void>& tarea, const char* que) {
  if (tarea.wait_for(std::chrono::seconds(30)) == std::future_status::ready) return tarea.get();
  ADD_FAILURE() << que << " has not returned after 30 s";
  std::fflush(stdout);
  std::abort();
}

// Sends, to each connection, the next byte of a request that never ends, one byte every 200 ms,
// until the server has closed them all or 30 s have passed.
class Goteo {
 public:
  explicit Goteo(std::vector<const ConexionLocal*> conexiones)
      : hilo_([this, conexiones = std::move(conexiones)] { Enviar(conexiones); }) {}
  ~Goteo() {
    parar_ = true;
    hilo_.join();
  }
  Goteo(const Goteo&) = delete;
  Goteo& operator=(const Goteo&) = delete;

 private:
  void Enviar(const std::vector<const ConexionLocal*>& conexiones) {
    const std::string inicio = "GET / HTTP/1.1\r\nX-Lento: ";
    const auto fin = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::vector<bool> abiertas(conexiones.size(), true);
    for (std::size_t enviados = 0; !parar_ && std::chrono::steady_clock::now() < fin; ++enviados) {
      const char byte = enviados < inicio.size() ? inicio[enviados] : 'a';
      bool alguna = false;
      for (std::size_t i = 0; i < conexiones.size(); ++i) {
        if (abiertas[i]) abiertas[i] = conexiones[i]->Enviar(std::string_view(&byte, 1));
        alguna = alguna || abiertas[i];
      }
      if (!alguna) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }

  std::atomic<bool> parar_{false};
  std::thread hilo_;
};

class ServidorHttpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(puerto = ActivarEnPuertoLibre(*servidor), 0); }

  // The page changes only while the server is inactive, so that no handler call is reading it.
  void CambiarCuerpo(std::string nuevo) {
    servidor->Deactivate();
    cuerpo = std::move(nuevo);
    ASSERT_TRUE(servidor->Activate());
  }

  std::atomic<int> llamadas{0};
  std::string cuerpo = "p\xE1gina";
  std::unique_ptr<platform::HttpServer> servidor =
      platform::MakeHttpServer([this](std::string_view) {
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

TEST_F(ServidorHttpTest, TheHandlerGetsTheTargetAsSentAndChoosesTheType) {
  auto eco = platform::MakeHttpServer([](std::string_view destino) {
    return platform::HttpAnswer(std::string(destino), "application/json");
  });
  const std::uint16_t otro = ActivarEnPuertoLibre(*eco);
  ASSERT_NE(otro, 0);
  for (const char* destino : {"/", "/status.json", "/a/b?c=%20d&e=%C3%B1", "/x?"}) {
    auto respuesta = Cliente(otro).Get(destino);
    ASSERT_TRUE(respuesta) << destino;
    EXPECT_EQ(respuesta->status, 200);
    EXPECT_EQ(respuesta->body, destino);
    EXPECT_EQ(respuesta->get_header_value("Content-Type"), "application/json");
  }
  // A plain string is a page.
  auto respuesta = Cliente(puerto).Get("/");
  ASSERT_TRUE(respuesta);
  EXPECT_EQ(respuesta->get_header_value("Content-Type"), "text/html; charset=ISO-8859-1");
}

TEST_F(ServidorHttpTest, AFailingHandlerAnswers500WithItsMessage) {
  auto fallido = platform::MakeHttpServer([](std::string_view) -> std::string {
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
    auto segundo = platform::MakeHttpServer([](std::string_view) { return std::string(); });
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

TEST_F(ServidorHttpTest, RequestsAsTheyComeOnTheWire) {
  const std::string cuerpo_maximo(64 * 1024, 'a');
  const struct {
    const char* caso;
    std::string peticion;
    int estado;  // 200: the handler's page
  } casos[] = {
      {"line ends of a bare LF", "GET / HTTP/1.1\nHost: a\n\n", 200},
      {"HTTP/1.0 after blank lines", "\r\n\r\nGET /x HTTP/1.0\r\n\r\n", 200},
      {"POST of the largest body",
       "POST / HTTP/1.1\r\ncontent-length: 65536\r\n\r\n" + cuerpo_maximo, 200},
      {"PUT", "PUT / HTTP/1.1\r\nContent-Length: 1\r\n\r\nx", 405},
      {"a method of no standard", "BREW /pot HTTP/1.1\r\n\r\n", 405},
      {"no version", "GET /\r\n\r\n", 400},
      {"two spaces", "GET  / HTTP/1.1\r\n\r\n", 400},
      {"HTTP/2.0", "GET / HTTP/2.0\r\n\r\n", 505},
      {"a length that is no number", "POST / HTTP/1.1\r\nContent-Length: 1e3\r\n\r\n", 400},
      {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd",
       400},
      {"a folded header", "GET / HTTP/1.1\r\nX-A: a\r\n b\r\n\r\n", 400},
      {"a header with no colon", "GET / HTTP/1.1\r\nX-A\r\n\r\n", 400},
      {"a chunked body",
       "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n\r\n", 411},
      {"a body one byte over the cap",
       "POST / HTTP/1.1\r\nContent-Length: 65537\r\n\r\n" + cuerpo_maximo + "a", 413},
      {"a length past 64 bits",
       "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", 413},
      {"headers over 16 KiB", "GET / HTTP/1.1\r\nX-A: " + std::string(20000, 'a') + "\r\n\r\n",
       431},
      {"blank lines without end", std::string(20000, '\n'), 431},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.caso);
    const int antes = llamadas.load();
    const std::string bytes = Pedir(puerto, c.peticion);
    auto respuesta = Analizar(bytes);
    ASSERT_TRUE(respuesta) << bytes.substr(0, 200);
    EXPECT_EQ(respuesta->estado, c.estado);
    EXPECT_EQ(respuesta->cabeceras["connection"], "close");
    EXPECT_EQ(respuesta->cabeceras["content-length"], std::to_string(respuesta->cuerpo.size()));
    if (c.estado == 200) {
      EXPECT_EQ(respuesta->cabeceras["content-type"], "text/html; charset=ISO-8859-1");
      EXPECT_EQ(respuesta->cuerpo, cuerpo);
      EXPECT_EQ(llamadas.load(), antes + 1);
    } else {
      EXPECT_EQ(respuesta->cabeceras["content-type"], "text/plain; charset=ISO-8859-1");
      EXPECT_EQ(llamadas.load(), antes);
    }
    if (c.estado == 405) {
      EXPECT_EQ(respuesta->cabeceras["allow"], "GET, HEAD, POST");
    }
  }
}

TEST_F(ServidorHttpTest, HeadAnswersGiveTheLengthOfABodyTheyLeaveOut) {
  const struct {
    const char* caso;
    const char* peticion;
    int estado;
    std::size_t talla;  // of the body a GET would have had
  } casos[] = {
      {"the page", "HEAD / HTTP/1.1\r\n\r\n", 200, cuerpo.size()},
      {"a refusal", "HEAD / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411,
       Analizar(Pedir(puerto, "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"))
           .value_or(Respuesta())
           .cuerpo.size()},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.caso);
    ASSERT_NE(c.talla, 0u);
    auto respuesta = Analizar(Pedir(puerto, c.peticion));
    ASSERT_TRUE(respuesta);
    EXPECT_EQ(respuesta->estado, c.estado);
    EXPECT_EQ(respuesta->cabeceras["content-length"], std::to_string(c.talla));
    EXPECT_EQ(respuesta->cuerpo, "");  // nothing after the headers, up to the connection's end
  }
}

TEST_F(ServidorHttpTest, AHandlerThrowingWhatIsNoStdExceptionAnswers500) {
  auto fallido = platform::MakeHttpServer([](std::string_view) -> std::string { throw 42; });
  const std::uint16_t otro = ActivarEnPuertoLibre(*fallido);
  ASSERT_NE(otro, 0);
  // Twice: the first failure must have left the server whole.
  for (int vez = 0; vez < 2; ++vez) {
    auto respuesta = Cliente(otro).Get("/");
    ASSERT_TRUE(respuesta);
    EXPECT_EQ(respuesta->status, 500);
  }
}

TEST_F(ServidorHttpTest, EveryLoopbackAddressIsServed) {
  // Two addresses of this computer: the server listens on all of them, not on one.
  for (const char* direccion : {"127.0.0.1", "127.0.0.2"}) {
    SCOPED_TRACE(direccion);
    httplib::Client cliente(direccion, puerto);
    cliente.set_connection_timeout(5);
    cliente.set_read_timeout(30);
    auto respuesta = cliente.Get("/");
    ASSERT_TRUE(respuesta);
    EXPECT_EQ(respuesta->body, cuerpo);
  }
}

TEST_F(ServidorHttpTest, ClientsThatLeaveDuringTheirAnswerLeaveTheServerWhole) {
  // Larger than what the sockets' buffers take, so that the server is still sending when the
  // client has gone, and a send to it fails.
  CambiarCuerpo(std::string(16 << 20, 'x'));
  const struct {
    const char* caso;
    bool lee_el_principio;
  } casos[] = {
      {"closes right after its request", false},
      {"reads the beginning, then closes with the rest unread", true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.caso);
    ConexionLocal conexion(puerto, 4096);
    ASSERT_TRUE(conexion.Enviar("GET / HTTP/1.1\r\n\r\n"));
    if (c.lee_el_principio) {
      ASSERT_EQ(conexion.Leer(16).size(), 16u);
    }
    conexion.Cerrar();
  }
  // A send to a client that left must not raise SIGPIPE, which would end this program here.
  ASSERT_TRUE(Esperar([&] { return llamadas.load() == 2; }));
  auto respuesta = Cliente(puerto).Get("/");
  ASSERT_TRUE(respuesta);
  EXPECT_EQ(respuesta->body.size(), cuerpo.size());
}

// Clients that are slow, stall, or come in numbers.
class ServidorHttpClientesTest : public ServidorHttpTest {};

TEST_F(ServidorHttpClientesTest, ARequestNotInWithinTheDeadlineIsDroppedUnanswered) {
  const struct {
    const char* caso;
    std::string enviado;
    bool goteo;  // a byte every 200 ms after what was sent
  } casos[] = {
      {"nothing sent", "", false},
      {"half a request line", "GET / HT", false},
      {"headers with no end", "GET / HTTP/1.1\r\nHost: a\r\n", false},
      {"a body shorter than its length", "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", false},
      {"a byte every 200 ms", "", true},
  };
  // All at once, so that the deadlines run together.
  std::vector<std::unique_ptr<ConexionLocal>> conexiones;
  std::vector<const ConexionLocal*> lentas;
  for (const auto& c : casos) {
    conexiones.push_back(std::make_unique<ConexionLocal>(puerto));
    ASSERT_TRUE(conexiones.back()->Conectada());
    ASSERT_TRUE(conexiones.back()->Enviar(c.enviado));
    if (c.goteo) lentas.push_back(conexiones.back().get());
  }
  Goteo goteo(lentas);
  for (std::size_t i = 0; i < std::size(casos); ++i) {
    SCOPED_TRACE(casos[i].caso);
    EXPECT_EQ(conexiones[i]->LeerHastaElCierre(), std::optional<std::string>(""));
  }
  EXPECT_EQ(llamadas.load(), 0);
}

TEST_F(ServidorHttpClientesTest, ManySlowClientsDoNotKeepANormalOneWaiting) {
  constexpr int kLentas = 50;
  std::vector<std::unique_ptr<ConexionLocal>> conexiones;
  std::vector<const ConexionLocal*> lentas;
  for (int i = 0; i < kLentas; ++i) {
    conexiones.push_back(std::make_unique<ConexionLocal>(puerto));
    ASSERT_TRUE(conexiones.back()->Conectada());
    lentas.push_back(conexiones.back().get());
  }
  Goteo goteo(lentas);
  // Connected after all the slow ones, each of which would hold a thread until its deadline
  // if threads waited on clients; the client's own time-out bounds the wait.
  for (int vez = 0; vez < 3; ++vez) {
    auto respuesta = Cliente(puerto).Get("/");
    ASSERT_TRUE(respuesta) << vez;
    EXPECT_EQ(respuesta->status, 200);
    EXPECT_EQ(respuesta->body, cuerpo);
  }
  for (const auto& lenta : conexiones) EXPECT_EQ(lenta->LeerHastaElCierre(), "");
  EXPECT_EQ(llamadas.load(), 3);
}

TEST_F(ServidorHttpClientesTest, PastTheConnectionsItHoldsTheServerAnswers503AndRecovers) {
  // Far more idle connections than a status page ever needs at once.
  constexpr int kConexiones = 150;
  std::vector<std::unique_ptr<ConexionLocal>> conexiones;
  for (int i = 0; i < kConexiones; ++i) {
    conexiones.push_back(std::make_unique<ConexionLocal>(puerto));
    ASSERT_TRUE(conexiones.back()->Conectada());
  }
  int retenidas = 0, rechazadas = 0;
  for (const auto& conexion : conexiones) {
    const auto bytes = conexion->LeerHastaElCierre();
    ASSERT_TRUE(bytes);
    if (bytes->empty()) {
      ++retenidas;  // held until its deadline
    } else {
      auto respuesta = Analizar(*bytes);
      ASSERT_TRUE(respuesta) << *bytes;
      EXPECT_EQ(respuesta->estado, 503);
      ++rechazadas;
    }
  }
  EXPECT_GT(retenidas, 0);
  EXPECT_GT(rechazadas, 0);
  EXPECT_EQ(llamadas.load(), 0);

  auto respuesta = Cliente(puerto).Get("/");
  ASSERT_TRUE(respuesta);
  EXPECT_EQ(respuesta->body, cuerpo);
}

TEST_F(ServidorHttpTest, DeactivateEndsEveryConnectionAndTheSamePortServesAgain) {
  // An answer far larger than the sockets' buffers keeps its sending under way.
  CambiarCuerpo(std::string(16 << 20, 'x'));
  ConexionLocal callada(puerto), a_medias(puerto), sin_leer(puerto, 4096);
  ASSERT_TRUE(callada.Conectada());
  ASSERT_TRUE(a_medias.Enviar("GET / HT"));
  ASSERT_TRUE(sin_leer.Enviar("GET / HTTP/1.1\r\n\r\n"));
  ASSERT_EQ(sin_leer.Leer(16).size(), 16u);

  auto desactivar = std::async(std::launch::async, [&] { servidor->Deactivate(); });
  Terminada(desactivar, "Deactivate");
  EXPECT_FALSE(servidor->Active());
  EXPECT_EQ(callada.LeerHastaElCierre(), "");
  EXPECT_EQ(a_medias.LeerHastaElCierre(), "");
  const auto resto = sin_leer.LeerHastaElCierre();
  ASSERT_TRUE(resto);
  EXPECT_LT(resto->size(), cuerpo.size());  // cut short

  cuerpo = "p\xE1gina";
  ASSERT_TRUE(servidor->Activate());
  auto respuesta = Cliente(puerto).Get("/");
  ASSERT_TRUE(respuesta);
  EXPECT_EQ(respuesta->body, cuerpo);
}

// Holds handler calls until it is opened, 30 s at most.
class Compuerta {
 public:
  void Pasar() {
    std::unique_lock lock(mutex_);
    abierta_cambio_.wait_for(lock, std::chrono::seconds(30), [this] { return abierta_; });
  }
  void Abrir() {
    {
      std::lock_guard lock(mutex_);
      abierta_ = true;
    }
    abierta_cambio_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable abierta_cambio_;
  bool abierta_ = false;  // guarded by mutex_
};

TEST(ServidorHttpOcupadoTest, AFewHandlersRunAtOnceAndDeactivateClosesTheRequestsWaiting) {
  Compuerta compuerta;
  std::atomic<int> llamadas{0};
  auto servidor = platform::MakeHttpServer([&](std::string_view) {
    ++llamadas;
    compuerta.Pasar();
    return std::string("p");
  });
  const std::uint16_t puerto = ActivarEnPuertoLibre(*servidor);
  ASSERT_NE(puerto, 0);
  constexpr int kPeticiones = 12;
  std::vector<std::unique_ptr<ConexionLocal>> conexiones;
  for (int i = 0; i < kPeticiones; ++i) {
    conexiones.push_back(std::make_unique<ConexionLocal>(puerto));
    ASSERT_TRUE(conexiones.back()->Enviar("GET / HTTP/1.1\r\n\r\n"));
  }
  ASSERT_TRUE(Esperar([&] { return llamadas.load() > 0; }));
  // A thread per request would have them all in the handler by now.
  EXPECT_FALSE(Esperar([&] { return llamadas.load() == kPeticiones; }, std::chrono::seconds(1)));

  // An idle connection, closed once Deactivate has begun; only then do the handlers return,
  // so that no request still waiting is taken up.
  ConexionLocal testigo(puerto);
  auto desactivar = std::async(std::launch::async, [&] { servidor->Deactivate(); });
  EXPECT_TRUE(testigo.LeerHastaElCierre());
  compuerta.Abrir();
  Terminada(desactivar, "Deactivate");

  int respondidas = 0;
  for (const auto& conexion : conexiones) {
    const auto bytes = conexion->LeerHastaElCierre();
    ASSERT_TRUE(bytes);
    if (bytes->empty()) continue;
    EXPECT_TRUE(bytes->starts_with("HTTP/1.1 200 ")) << *bytes;
    ++respondidas;
  }
  EXPECT_LT(llamadas.load(), kPeticiones);
  EXPECT_LE(respondidas, llamadas.load());
}

}  // namespace
