#pragma once

// An HTTP server on 127.0.0.1 for tests: records every raw request and
// answers with whatever the script writes, byte for byte, misbehaviour included.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pakeno::testing {

class Reply {
 public:
  explicit Reply(int fd) : fd_(fd) {}
  bool Send(std::string_view bytes);  // false once the peer is gone
  void Sleep(std::chrono::milliseconds duration);
  void Close();  // ends the connection now
  // Waits, answering nothing, until the peer hangs up or `limit` passes.
  void WaitForPeerClose(std::chrono::milliseconds limit);
  bool closed() const { return closed_; }

 private:
  int fd_;
  bool closed_ = false;
};

class ScriptedServer {
 public:
  // `script` answers one request (its raw bytes); a connection stays open for
  // the next request unless the script closes it.
  // A TLS ClientHello is recorded as the request, and the connection ended.
  using Script = std::function<void(const std::string& request, Reply& reply)>;

  // Listens on 127.0.0.1:`port`; 0 picks a free port.
  explicit ScriptedServer(Script script, int port = 0);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  std::string Url(std::string_view path = "/") const;
  std::vector<std::string> Requests() const;
  std::string LastRequest() const;

 private:
  void AcceptLoop();
  void Serve(int fd);

  Script script_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<int> clientFds_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// A complete response with a Content-Length and "Connection: close".
std::string Response(std::string_view body, std::string_view status = "200 OK", std::string_view extraHeaders = {});

// A script that answers every request with `response` and ends the connection.
ScriptedServer::Script AnswerEach(std::string response);

// The part of a raw request after its header block.
std::string BodyOf(const std::string& request);

}  // namespace pakeno::testing
