// A small HTTP server: while active it listens on all local addresses at its port and answers
// every GET, HEAD and POST with what its handler builds for the request's target. Other methods
// get an error answer and never reach the handler.
//
// One request per connection, answered with "Connection: close". Its threads are a fixed few:
// a request must come in whole within a few seconds of connecting, or the connection is
// dropped, and when too many connections are waiting a new one is answered 503 and closed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The answer to one request: its body and the media type it is sent with. A plain string is an
// HTML page in ISO-8859-1.
struct HttpAnswer {
  HttpAnswer() = default;
  HttpAnswer(std::string body) : Body(std::move(body)) {}  // NOLINT: a page converts implicitly
  HttpAnswer(std::string body, std::string type) : Body(std::move(body)), Type(std::move(type)) {}

  std::string Body;
  std::string Type = "text/html; charset=ISO-8859-1";
};

class HttpServer {
 public:
  // Builds the answer to one request from its target as the request line gives it ("/",
  // "/status.json?x=1"), undecoded. Called on the server's threads, several at once; an
  // exception's message becomes the body of a 500 answer.
  using Handler = std::function<HttpAnswer(std::string_view target)>;

  virtual ~HttpServer() = default;
  // Main thread. False when the port cannot be taken; the server then stays inactive.
  virtual bool Activate() = 0;
  // Main thread. Closes every connection, waiting only for handler calls under way; no thread
  // of the server outlives it.
  virtual void Deactivate() = 0;
  virtual bool Active() const = 0;
  // Takes effect at the next activation.
  virtual void SetPort(std::uint16_t port) = 0;
  virtual std::uint16_t Port() const = 0;
};

std::unique_ptr<HttpServer> MakeHttpServer(HttpServer::Handler handler);

}  // namespace platform
