// The HTTP server on POSIX sockets: one receiving thread and a small fixed pool of answering
// threads.
//
// The receiving thread accepts connections and reads the requests of all of them at once, with
// poll, each within a deadline counted from its accept. Only a request that is wholly in (or
// that can already be refused) goes on to the queue of the answering threads, which build the
// answer, send it and close the connection. So a client that sends its request slowly, or
// never, holds a slot of the receiving thread's table and no thread of its own: clients that
// trickle bytes cannot keep the answering threads from the rest.
//
// The number of threads is fixed and the connections held are bounded; past the bound a few
// more are taken with a deadline that only a request sent at once can meet, and past those a
// connection gets a 503 answer and is closed at once. Every wait on a client is a poll that also
// watches an eventfd, which Deactivate sets to wake every thread at once.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/eintr.h"
#include "platform/http_server.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kErrorType[] = "text/plain; charset=ISO-8859-1";
constexpr std::uint16_t kInitialPort = 80;

// Handlers may run at once on this many threads; it is also the most answers sent at once.
constexpr int kAnsweringThreads = 4;
// Connections being received plus those whose request waits for an answering thread. A page
// for a few browsers needs far fewer; a bound keeps a flood from taking every descriptor.
constexpr std::size_t kMaxHeldConnections = 64;
// From accept to the last byte of the request. A browser sends its request at once, so only a
// client that trickles or stalls needs longer, and it is dropped.
constexpr auto kRequestTime = std::chrono::seconds(5);
// For the answer to be taken by the client, counted from when its sending begins.
constexpr auto kAnswerTime = std::chrono::seconds(5);
// Connections taken beyond kMaxHeldConnections, each given only kQuickRequestTime for its whole
// request.
constexpr std::size_t kMaxQuickConnections = 64;
constexpr auto kQuickRequestTime = std::chrono::milliseconds(250);
// After the answer, how long what the client still sends is read and thrown away, so that
// closing a socket with unread bytes does not reset the connection before the client has read
// the answer.
constexpr auto kLingerTime = std::chrono::seconds(1);
// After the process runs out of descriptors, how long the listening socket is left alone; it
// stays readable meanwhile, and polling it would spin.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
// Nothing a client sends is used, so a body larger than a form post is refused outright.
constexpr std::size_t kMaxBody = 64 * 1024;
// The request line and the header fields together.
constexpr std::size_t kMaxHeader = 16 * 1024;
constexpr std::size_t kReadChunk = 16 * 1024;
// Connections taken from the listening socket in one round, so that a flood of new ones does
// not delay the reading of those already held.
constexpr int kAcceptBatch = 16;

// A descriptor closed with its owner.
class Socket final {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { Reset(); }
  Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  void Reset() {
    // Not retried on EINTR: Linux frees the descriptor even then, and a retry could close one
    // that another thread has just been given.
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
};

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 405:
      return "Method Not Allowed";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Error";
  }
}

// The whole answer, headers and body; an answer to HEAD keeps the body's length and leaves the
// body out.
std::string ComposeAnswer(int status, std::string_view type, std::string_view body, bool head) {
  std::string answer =
      "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
      "\r\nContent-Type: " + std::string(type) +
      "\r\nContent-Length: " + std::to_string(body.size()) +
      (status == 405 ? "\r\nAllow: GET, HEAD, POST" : "") + "\r\nConnection: close\r\n\r\n";
  if (!head) answer.append(body);
  return answer;
}

// What is known of a request once enough of it is in to answer it.
struct Verdict {
  int status = 0;  // 0 when the handler builds the answer, else the error to answer with
  bool head = false;
  std::string target{};  // the request line's target, for the handler
};

// RFC 9110's token characters, those of methods and header names.
bool IsToken(std::string_view text) {
  if (text.empty()) return false;
  return std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
  });
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The status a request line earns: 0 when it is one this server reads, with its method in
// `method` and its target in `target_out`.
int ExamineRequestLine(std::string_view line, std::string_view* method,
                       std::string_view* target_out) {
  const auto first_space = line.find(' ');
  const auto last_space = line.rfind(' ');
  if (first_space == std::string_view::npos || first_space == last_space) return 400;
  *method = line.substr(0, first_space);
  const std::string_view target = line.substr(first_space + 1, last_space - first_space - 1);
  const std::string_view version = line.substr(last_space + 1);
  if (!IsToken(*method) || target.empty() || target.find(' ') != std::string_view::npos) {
    return 400;
  }
  *target_out = target;
  if (version == "HTTP/1.1" || version == "HTTP/1.0") return 0;
  const bool other_version = version.size() == 8 && version.starts_with("HTTP/") &&
                             std::isdigit(static_cast<unsigned char>(version[5])) &&
                             version[6] == '.' &&
                             std::isdigit(static_cast<unsigned char>(version[7]));
  return other_version ? 505 : 400;
}

// Reads the bytes of a request received so far: nothing while more must come, else how to
// answer it. Lines may end in CRLF or in a bare LF, as RFC 9112 lets a server accept.
std::optional<Verdict> ExamineRequest(std::string_view data) {
  // Empty lines before the request line are allowed and skipped; they count towards the cap
  // all the same, or a client could send them without end.
  const std::size_t start = std::min(data.find_first_not_of("\r\n"), data.size());
  std::string_view method, target;
  int line_status = 0;
  bool first_line = true;
  bool chunked = false;
  std::optional<std::uint64_t> length;
  bool bad_header = false;
  std::size_t position = start;
  for (;;) {
    const std::size_t end_of_line = data.find('\n', position);
    if (end_of_line == std::string_view::npos || end_of_line + 1 > kMaxHeader) {
      if (data.size() > kMaxHeader) return Verdict{431, false};
      return std::nullopt;
    }
    std::string_view line = data.substr(position, end_of_line - position);
    if (line.ends_with('\r')) line.remove_suffix(1);
    position = end_of_line + 1;
    if (first_line) {
      first_line = false;
      line_status = ExamineRequestLine(line, &method, &target);
      continue;
    }
    if (line.empty()) break;
    const auto colon = line.find(':');
    // A line that begins with a blank continues the previous one, a form RFC 9112 retired.
    if (line[0] == ' ' || line[0] == '\t' || colon == std::string_view::npos ||
        !IsToken(line.substr(0, colon))) {
      bad_header = true;
      continue;
    }
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (EqualIgnoringCase(name, "Transfer-Encoding")) {
      chunked = true;
    } else if (EqualIgnoringCase(name, "Content-Length")) {
      std::uint64_t number = 0;
      bool digits = !value.empty();
      for (const char c : value) {
        if (c < '0' || c > '9') {
          digits = false;
          break;
        }
        // Past the cap the exact figure no longer matters.
        number = std::min<std::uint64_t>(number * 10 + (c - '0'), kMaxBody + 1);
      }
      if (!digits || (length && *length != number)) bad_header = true;
      length = number;
    }
  }
  const bool head = method == "HEAD";
  if (line_status != 0) return Verdict{line_status, head};
  if (bad_header) return Verdict{400, head};
  if (method != "GET" && method != "HEAD" && method != "POST") return Verdict{405, head};
  // The end of a chunked body is not looked for; a client can always give the length.
  if (chunked) return Verdict{411, head};
  const std::uint64_t body = length.value_or(0);
  if (body > kMaxBody) return Verdict{413, head};
  if (data.size() - position < body) return std::nullopt;
  return Verdict{0, head, std::string(target)};
}

// How a wait for a client ended.
enum class Wait { kReady, kTimedOut, kStopped, kFailed };

// Waits until `fd` has one of `events`, `until` passes or `wake_fd` is set.
Wait WaitFor(int fd, short events, int wake_fd, Clock::time_point until) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return Wait::kTimedOut;
    pollfd fds[2] = {{wake_fd, POLLIN, 0}, {fd, events, 0}};
    const int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;  // with the time left recomputed
      return Wait::kFailed;
    }
    if (fds[0].revents != 0) return Wait::kStopped;
    if (fds[1].revents != 0) return Wait::kReady;
  }
}

// False when the client did not take it all in time, went away, or the server is stopping.
bool SendAll(int fd, std::string_view data, int wake_fd, Clock::time_point until) {
  while (!data.empty()) {
    // MSG_NOSIGNAL: a client that has gone must not raise SIGPIPE, which ends the process.
    const ssize_t sent =
        RetryOnEintr([&] { return send(fd, data.data(), data.size(), MSG_NOSIGNAL); });
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (WaitFor(fd, POLLOUT, wake_fd, until) != Wait::kReady) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Ends the connection after its answer: the client sees the end of the answer, and what it may
// still be sending (a body that was refused unread) is read until it closes its side.
void LingerAndClose(Socket socket, int wake_fd, Clock::time_point until) {
  if (shutdown(socket.fd(), SHUT_WR) != 0) return;
  char discard[4096];
  for (;;) {
    const ssize_t got = RetryOnEintr([&] { return recv(socket.fd(), discard, sizeof discard, 0); });
    if (got == 0) return;
    if (got < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK) return;
      if (WaitFor(socket.fd(), POLLIN, wake_fd, until) != Wait::kReady) return;
    }
  }
}

// A request wholly in, waiting for an answering thread.
struct ReadyRequest {
  Socket socket;
  Verdict verdict;
};

// A connection whose request is still coming in.
struct Incoming {
  Socket socket;
  Clock::time_point deadline;
  std::string received;
};

// One activation: the listening socket, the threads and what they share. Destroying it stops
// every thread and closes every socket.
class Listener final {
 public:
  // Null when the port cannot be taken or the threads cannot be started.
  static std::unique_ptr<Listener> Start(std::uint16_t port, const HttpServer::Handler& handler) {
    Socket listening(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listening.valid()) return nullptr;
    // Lets the port be taken again while connections the server closed linger in TIME_WAIT,
    // and nothing more: SO_REUSEPORT would let a second server share a port in use.
    const int yes = 1;
    setsockopt(listening.fd(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (bind(listening.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listening.fd(), SOMAXCONN) != 0) {
      return nullptr;
    }
    Socket wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.valid()) return nullptr;
    auto listener =
        std::unique_ptr<Listener>(new Listener(handler, std::move(listening), std::move(wake)));
    try {
      listener->threads_.reserve(kAnsweringThreads + 1);
      listener->threads_.emplace_back([l = listener.get()] { l->Receive(); });
      for (int i = 0; i < kAnsweringThreads; ++i) {
        listener->threads_.emplace_back([l = listener.get()] { l->Answer(); });
      }
    } catch (const std::exception&) {
      // Out of threads or memory: the server stays inactive rather than end the program. The
      // destructor stops the threads that did start.
      return nullptr;
    }
    return listener;
  }

  ~Listener() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    request_ready_.notify_all();
    // Never reset: every poll from now on sees it, however late it starts.
    const std::uint64_t one = 1;
    RetryOnEintr([&] { return write(wake_.fd(), &one, sizeof one); });
    for (std::thread& thread : threads_) thread.join();
    // Requests still queued are closed with `ready_` unanswered.
  }

  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

 private:
  Listener(const HttpServer::Handler& handler, Socket listening, Socket wake)
      : handler_(handler), listening_(std::move(listening)), wake_(std::move(wake)) {}

  // The receiving thread.
  void Receive() {
    std::vector<Incoming> incoming;
    Clock::time_point accept_paused_until;
    for (;;) {
      // Nothing may leave the thread. What fails in a round (memory) has closed the sockets
      // it was holding, and the next round goes on with the rest.
      try {
        if (!ReceiveRound(incoming, &accept_paused_until)) break;
      } catch (...) {
        std::this_thread::sleep_for(kAcceptPause);
      }
    }
    // Connections still in the listening socket's backlog are refused now, rather than once the
    // handler calls under way have returned. Those being received close with `incoming`.
    listening_ = Socket();
  }

  // Waits for what comes next and takes it in. False once the listener is stopping.
  bool ReceiveRound(std::vector<Incoming>& incoming, Clock::time_point* accept_paused_until) {
    const Clock::time_point now = Clock::now();
    std::erase_if(incoming, [&](const Incoming& c) { return c.deadline <= now; });
    const bool accepting = now >= *accept_paused_until;
    Clock::time_point next = accepting ? Clock::time_point::max() : *accept_paused_until;
    std::vector<pollfd> fds;
    fds.reserve(incoming.size() + 2);
    fds.push_back({wake_.fd(), POLLIN, 0});
    fds.push_back({accepting ? listening_.fd() : -1, POLLIN, 0});  // poll skips a negative fd
    for (const Incoming& c : incoming) {
      fds.push_back({c.socket.fd(), POLLIN, 0});
      next = std::min(next, c.deadline);
    }
    int timeout = -1;
    if (next != Clock::time_point::max()) {
      timeout = static_cast<int>(std::max<std::int64_t>(
          0, std::chrono::ceil<std::chrono::milliseconds>(next - now).count()));
    }
    if (poll(fds.data(), fds.size(), timeout) < 0) {
      // Besides a signal, only a lack of kernel memory gets here; waiting a little lets it pass.
      if (errno != EINTR) std::this_thread::sleep_for(kAcceptPause);
      return true;
    }
    if (fds[0].revents != 0) return false;
    // Reading comes before accepting, so that slots freed by clients that left are counted.
    for (std::size_t i = 0; i < incoming.size(); ++i) {
      if (fds[i + 2].revents != 0) ReadFrom(incoming[i]);
    }
    std::erase_if(incoming, [](const Incoming& c) { return !c.socket.valid(); });
    if (fds[1].revents != 0) AcceptNew(incoming, accept_paused_until);
    return true;
  }

  // Takes in what the client has sent. The connection's socket is left invalid when it is
  // dropped or handed on to the answering threads.
  void ReadFrom(Incoming& c) {
    const std::size_t before = c.received.size();
    c.received.resize(before + kReadChunk);
    const ssize_t got = RetryOnEintr(
        [&] { return recv(c.socket.fd(), c.received.data() + before, kReadChunk, 0); });
    c.received.resize(before + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) {
      c.socket = Socket();  // the client left, or its connection failed, before its request
      return;
    }
    const std::optional<Verdict> verdict = ExamineRequest(c.received);
    if (!verdict) return;
    {
      std::lock_guard lock(mutex_);
      ready_.push_back(ReadyRequest{std::move(c.socket), *verdict});
    }
    request_ready_.notify_one();
  }

  void AcceptNew(std::vector<Incoming>& incoming, Clock::time_point* accept_paused_until) {
    for (int i = 0; i < kAcceptBatch; ++i) {
      Socket client(RetryOnEintr([&] {
        return accept4(listening_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      }));
      if (!client.valid()) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
          *accept_paused_until = Clock::now() + kAcceptPause;
        }
        // Else none is waiting, or the one that was has already gone (ECONNABORTED).
        return;
      }
      std::size_t queued;
      {
        std::lock_guard lock(mutex_);
        queued = ready_.size();
      }
      if (incoming.size() + queued >= kMaxHeldConnections) {
        // Past the bound, a connection is still taken while there is room for it beyond the
        // bound, but with a deadline so short that only a request sent at once (a browser's)
        // gets in: clients that trickle, however many and however often they come back, hold
        // the slots of the bound and cannot keep the page from a browser.
        if (incoming.size() + queued < kMaxHeldConnections + kMaxQuickConnections) {
          incoming.push_back(Incoming{std::move(client), Clock::now() + kQuickRequestTime, {}});
          continue;
        }
        // Best effort: the socket is new, so the short answer fits in its buffer; a client
        // that has not read it by the time the socket closes may see a reset instead.
        static const std::string busy = ComposeAnswer(503, kErrorType, ReasonPhrase(503), false);
        send(client.fd(), busy.data(), busy.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        continue;
      }
      incoming.push_back(Incoming{std::move(client), Clock::now() + kRequestTime, {}});
    }
  }

  // An answering thread.
  void Answer() {
    for (;;) {
      ReadyRequest request;
      {
        std::unique_lock lock(mutex_);
        request_ready_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
        if (stopping_) return;
        request = std::move(ready_.front());
        ready_.pop_front();
      }
      // Nothing may leave the thread: a failure to build one answer (out of memory) ends that
      // connection only.
      try {
        SendAnswer(std::move(request));
      } catch (...) {
      }
    }
  }

  void SendAnswer(ReadyRequest request) {
    const Verdict& verdict = request.verdict;
    std::string answer;
    if (verdict.status != 0) {
      answer =
          ComposeAnswer(verdict.status, kErrorType, ReasonPhrase(verdict.status), verdict.head);
    } else {
      try {
        const HttpAnswer built = handler_(verdict.target);
        answer = ComposeAnswer(200, built.Type, built.Body, verdict.head);
      } catch (const std::exception& e) {
        answer = ComposeAnswer(500, kErrorType, e.what(), verdict.head);
      } catch (...) {
        answer = ComposeAnswer(500, kErrorType, "", verdict.head);
      }
    }
    const Clock::time_point until = Clock::now() + kAnswerTime;
    if (!SendAll(request.socket.fd(), answer, wake_.fd(), until)) return;
    LingerAndClose(std::move(request.socket), wake_.fd(),
                   std::min(until, Clock::now() + kLingerTime));
  }

  const HttpServer::Handler& handler_;
  Socket listening_;   // used by the receiving thread only, which closes it when it stops
  const Socket wake_;  // set once, when the listener stops
  std::mutex mutex_;
  std::condition_variable request_ready_;
  std::deque<ReadyRequest> ready_;  // guarded by mutex_
  bool stopping_ = false;           // guarded by mutex_
  std::vector<std::thread> threads_;
};

class LinuxHttpServer final : public HttpServer {
 public:
  explicit LinuxHttpServer(Handler handler) : handler_(std::move(handler)) {}
  ~LinuxHttpServer() override { Deactivate(); }

  bool Activate() override {
    if (!listener_) listener_ = Listener::Start(port_, handler_);
    return listener_ != nullptr;
  }
  void Deactivate() override { listener_.reset(); }
  bool Active() const override { return listener_ != nullptr; }
  void SetPort(std::uint16_t port) override { port_ = port; }
  std::uint16_t Port() const override { return port_; }

 private:
  const Handler handler_;
  // Main thread only.
  std::uint16_t port_ = kInitialPort;
  std::unique_ptr<Listener> listener_;  // while active
};

}  // namespace

std::unique_ptr<HttpServer> MakeHttpServer(HttpServer::Handler handler) {
  return std::make_unique<LinuxHttpServer>(std::move(handler));
}

}  // namespace platform
