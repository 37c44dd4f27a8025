#include "support/scripted_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <utility>

namespace pakeno::testing {
namespace {

// The few socket calls that differ between POSIX and Winsock.
#ifdef _WIN32
using ssize_t = long long;
constexpr int kNoSignal = 0;
constexpr int kShutBoth = SD_BOTH;
void CloseSocket(int fd) { ::closesocket(static_cast<SOCKET>(fd)); }
int PollOne(pollfd& p, int ms) { return ::WSAPoll(&p, 1, ms); }
int AcceptOne(int fd) { return static_cast<int>(::accept(static_cast<SOCKET>(fd), nullptr, nullptr)); }
int NewSocket() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started ? static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0)) : -1;
}
#else
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;
void CloseSocket(int fd) { ::close(fd); }
int PollOne(pollfd& p, int ms) { return ::poll(&p, 1, ms); }
int AcceptOne(int fd) { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }
int NewSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
#endif

// The first bytes of a TLS record that carries a handshake (ClientHello).
constexpr std::string_view kTlsHandshake("\x16\x03", 2);

size_t ContentLengthOf(const std::string& head) {
  std::string lower = head;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

}  // namespace

bool Reply::Send(std::string_view bytes) {
  while (!closed_ && !bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), static_cast<int>(bytes.size()), kNoSignal);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return !closed_;
}

void Reply::Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

void Reply::WaitForPeerClose(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char byte;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{};
    p.fd = fd_;
    p.events = POLLIN;
    if (PollOne(p, 50) > 0 && ::recv(fd_, &byte, 1, MSG_PEEK) <= 0) return;
  }
}

void Reply::Close() {
  if (!closed_) ::shutdown(fd_, kShutBoth);
  closed_ = true;
}

ScriptedServer::ScriptedServer(Script script, int port) : script_(std::move(script)) {
  listenFd_ = NewSocket();
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  sockaddr_in address{};
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listenFd_, 64);
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  ::shutdown(listenFd_, kShutBoth);
#ifdef _WIN32
  CloseSocket(listenFd_);  // Winsock wakes a blocked accept only when the socket closes
#endif
  acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (int fd : clientFds_) ::shutdown(fd, kShutBoth);
  }
  for (std::thread& worker : workers_) worker.join();
  for (int fd : clientFds_) CloseSocket(fd);
#ifndef _WIN32
  CloseSocket(listenFd_);
#endif
}

std::string ScriptedServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string ScriptedServer::LastRequest() const {
  std::lock_guard lock(mutex_);
  return requests_.empty() ? std::string() : requests_.back();
}

void ScriptedServer::AcceptLoop() {
  while (!stopping_) {
    const int fd = AcceptOne(listenFd_);
    if (fd < 0) {
      if (stopping_) return;
      continue;
    }
    std::lock_guard lock(mutex_);
    clientFds_.push_back(fd);
    workers_.emplace_back([this, fd] { Serve(fd); });
  }
}

void ScriptedServer::Serve(int fd) {
  std::string buffered;
  char chunk[65536];
  for (;;) {
    // One request: the header block, then as many body bytes as it announces.
    size_t headEnd;
    while ((headEnd = buffered.find("\r\n\r\n")) == std::string::npos) {
      const ssize_t n = ::recv(fd, chunk, static_cast<int>(sizeof chunk), 0);
      if (n <= 0) return;
      buffered.append(chunk, static_cast<size_t>(n));
      // A TLS handshake is no HTTP request: it is recorded as it came, and
      // the connection ends, so the client fails at once.
      if (buffered.starts_with(kTlsHandshake)) {
        std::lock_guard lock(mutex_);
        requests_.push_back(buffered);
        ::shutdown(fd, kShutBoth);
        return;
      }
    }
    const size_t total = headEnd + 4 + ContentLengthOf(buffered.substr(0, headEnd + 2));
    while (buffered.size() < total) {
      const ssize_t n = ::recv(fd, chunk, static_cast<int>(sizeof chunk), 0);
      if (n <= 0) return;
      buffered.append(chunk, static_cast<size_t>(n));
    }
    const std::string request = buffered.substr(0, total);
    buffered.erase(0, total);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    Reply reply(fd);
    script_(request, reply);
    if (reply.closed()) return;
  }
}

ScriptedServer::Script AnswerEach(std::string response) {
  return [response = std::move(response)](const std::string&, Reply& reply) {
    reply.Send(response);
    reply.Close();
  };
}

std::string Response(std::string_view body, std::string_view status, std::string_view extraHeaders) {
  std::string response = "HTTP/1.1 " + std::string(status) + "\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  response += "Connection: close\r\n";
  response += extraHeaders;
  response += "\r\n";
  response += body;
  return response;
}

std::string BodyOf(const std::string& request) {
  const size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : request.substr(end + 4);
}

}  // namespace pakeno::testing
