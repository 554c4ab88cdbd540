// The HTTP server on cpp-httplib: a listening thread of its own and a thread per connection.
#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <iterator>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/http_server.h"

namespace platform {
namespace {

constexpr char kTipoPagina[] = "text/html; charset=ISO-8859-1";
constexpr char kTipoError[] = "text/plain; charset=ISO-8859-1";
constexpr std::uint16_t kPuertoInicial = 80;
// Nothing a client sends is read, so a body larger than a form post is refused outright.
constexpr std::size_t kCuerpoMaximo = 64 * 1024;
// How long a connected client may keep a connection thread waiting for its request; it bounds
// how long Deactivate can wait for such a client.
constexpr time_t kEsperaPeticion = 2;

// httplib's default queue is a fixed pool, where a few idle browser connections would hold
// every thread and delay the rest. This queue gives each connection a thread of its own and
// joins them all at shutdown, so that none outlives the server.
class HiloPorConexion final : public httplib::TaskQueue {
 public:
  ~HiloPorConexion() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    std::lock_guard<std::mutex> lock(mutex_);
    UnirTerminadosLocked();
    hilos_.emplace_back();
    const auto hilo = std::prev(hilos_.end());
    *hilo = std::thread([this, hilo, fn = std::move(fn)] {
      fn();
      std::lock_guard<std::mutex> fin(mutex_);
      terminados_.push_back(hilo);
    });
  }

  void shutdown() override {
    std::list<std::thread> hilos;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      hilos.swap(hilos_);
    }
    // Outside the lock: each thread takes it once more on its way out.
    for (std::thread& hilo : hilos) hilo.join();
    std::lock_guard<std::mutex> lock(mutex_);
    terminados_.clear();  // those threads are joined already
  }

 private:
  void UnirTerminadosLocked() {
    for (const auto hilo : terminados_) {
      hilo->join();
      hilos_.erase(hilo);
    }
    terminados_.clear();
  }

  std::mutex mutex_;
  std::list<std::thread> hilos_;                             // guarded by mutex_
  std::vector<std::list<std::thread>::iterator> terminados_;  // guarded by mutex_
};

// The body is given through a provider of known length: httplib would otherwise compress a
// text body for a client that accepts it, and the answer must be the page's own bytes.
void Responder(httplib::Response& res, int status, std::string cuerpo, const char* tipo) {
  res.status = status;
  if (cuerpo.empty()) {
    res.set_content(cuerpo, tipo);
    return;
  }
  const std::size_t talla = cuerpo.size();
  auto datos = std::make_shared<const std::string>(std::move(cuerpo));
  res.set_content_provider(
      talla, tipo, [datos](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        return sink.write(datos->data() + offset, length);
      });
}

class HttpLibServer final : public HttpServer {
 public:
  explicit HttpLibServer(Handler handler) : handler_(std::move(handler)) {}
  ~HttpLibServer() override { Deactivate(); }

  bool Activate() override {
    if (servidor_) return true;
    // httplib's server sets SIGPIPE to be ignored in the whole process: a client that leaves
    // during its answer gives that connection a write error, nothing more.
    auto servidor = std::make_unique<httplib::Server>();
    servidor->new_task_queue = [] { return new HiloPorConexion; };
    // httplib's own options add SO_REUSEPORT, which would let a second server take a port that
    // is in use. SO_REUSEADDR only lets a port be taken again while old connections linger.
    servidor->set_socket_options([](socket_t sock) {
      const int si = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
    });
    // The listening loop looks at its socket every 100 ms instead of blocking in accept, so a
    // stop always ends it, whatever the timing of the socket's closing.
    servidor->set_idle_interval(0, 100000);
    // One request per connection: an idle keep-alive connection would hold Deactivate.
    servidor->set_keep_alive_max_count(1);
    servidor->set_read_timeout(kEsperaPeticion, 0);
    servidor->set_payload_max_length(kCuerpoMaximo);
    const auto responder = [this](const httplib::Request&, httplib::Response& res) {
      try {
        Responder(res, 200, handler_(), kTipoPagina);
      } catch (const std::exception& e) {
        Responder(res, 500, e.what(), kTipoError);
      }
    };
    servidor->Get(".*", responder);  // HEAD takes this route too and gets no body
    servidor->Post(".*", responder);
    if (!servidor->bind_to_port("0.0.0.0", puerto_)) return false;

    terminado_.store(false);
    escucha_ = std::thread([this, s = servidor.get()] {
      s->listen_after_bind();
      terminado_.store(true);
    });
    // stop() does nothing until the loop runs, so Deactivate must not come before that.
    while (!servidor->is_running() && !terminado_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    servidor_ = std::move(servidor);
    return true;
  }

  void Deactivate() override {
    if (!servidor_) return;
    servidor_->stop();
    escucha_.join();  // the loop joins every connection thread before it returns
    servidor_.reset();
  }

  bool Active() const override { return servidor_ != nullptr; }
  void SetPort(std::uint16_t port) override { puerto_ = port; }
  std::uint16_t Port() const override { return puerto_; }

 private:
  const Handler handler_;
  // Main thread only.
  std::uint16_t puerto_ = kPuertoInicial;
  std::unique_ptr<httplib::Server> servidor_;  // while active
  std::thread escucha_;
  std::atomic<bool> terminado_{false};  // set by the listening thread when its loop returns
};

}  // namespace

std::unique_ptr<HttpServer> MakeHttpServer(HttpServer::Handler handler) {
  return std::make_unique<HttpLibServer>(std::move(handler));
}

}  // namespace platform
