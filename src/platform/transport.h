#pragma once

// The HTTP transport: sessions, connections and requests over libcurl, with
// one process-wide cookie store. It offers what the request code needs of a
// platform HTTP library and puts on the wire exactly the requests it is told:
// the request target and header lines go out byte for byte as given.
//
// Each handle is closed by its owner; a request keeps a reference to its
// connection and that to its session, so they are destroyed in reverse order.
// Every request drives its own libcurl multi handle, so a request started
// from the event pump between two reads of another runs to its end without
// touching the outer one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/proxy_rules.h"

namespace pakeno::transport {

enum class Access {
  kDirect,  // no proxy, whatever the environment says
  kProxy,   // the proxy list given, e.g. "http=127.0.0.1:8888"
  kSystem,  // as the system is configured: http_proxy, https_proxy, no_proxy
};

struct Timeouts {
  std::chrono::milliseconds connect{60'000};  // to have a connection
  std::chrono::milliseconds idle{60'000};     // nothing received for this long ends the transfer
  std::chrono::milliseconds total{0};         // the whole request, redirects included; 0: no limit
};

// Default time-outs of new sessions; tests shorten them. Returns the previous ones.
Timeouts SetDefaultTimeouts(const Timeouts& timeouts);

class Session {
 public:
  Session(std::string_view agent, Access access, std::string_view proxyList = {});
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // False when the session was refused; nothing can be done through it.
  bool IsOpen() const { return open_; }

  const std::string& Agent() const { return agent_; }
  Access GetAccess() const { return access_; }
  // The proxy for a request to `host` over `scheme` ("http" or "https");
  // empty when it goes direct.
  std::string ProxyFor(std::string_view scheme, std::string_view host) const;
  const Timeouts& GetTimeouts() const { return timeouts_; }
  void SetTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }
  int MaxRedirects() const { return maxRedirects_; }
  void SetMaxRedirects(int count) { maxRedirects_ = count; }

 private:
  bool open_ = false;
  std::string agent_;
  Access access_;
  ProxyList proxies_;
  Timeouts timeouts_;
  int maxRedirects_ = 10;
};

// Makes every new session fail to open, as when the platform refuses one.
void SetSessionRefusalForTesting(bool refuse);

class Connection {
 public:
  // Port 0 means the service's default (80, or 443 for a secure request).
  // `server` is taken whole as the server's name: a text that cannot be one
  // (empty, or holding "@", "?", "#", "/", "\\", blanks or control bytes)
  // resolves nowhere, and every request on the connection fails when sent.
  Connection(const Session& session, std::string_view server, int port,
             std::optional<std::string> userName = {}, std::optional<std::string> password = {});
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool IsOpen() const { return session_.IsOpen(); }
  // Why the server name cannot be one; empty when it can.
  const std::string& Refusal() const { return refusal_; }
  const Session& GetSession() const { return session_; }
  const std::string& Server() const { return server_; }
  int Port() const { return port_; }
  const std::optional<std::string>& UserName() const { return userName_; }
  const std::optional<std::string>& Password() const { return password_; }

 private:
  const Session& session_;
  std::string server_;
  int port_;
  std::optional<std::string> userName_, password_;
  std::string refusal_;
};

enum RequestFlags : unsigned {
  kSecure = 1u << 0,  // https, certificates verified against the trust store
};

class Request {
 public:
  // `target` goes on the request line as given ("/p?q=1"); `version` is
  // "HTTP/1.1" or "HTTP/1.0".
  Request(const Connection& connection, std::string_view verb, std::string_view target,
          std::string_view version, unsigned flags);
  ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  bool IsOpen() const;

  // Header lines, each ended by CR LF; a line replaces one of the same name,
  // or is added. False when the block holds no header line.
  bool AddHeaders(std::string_view block);

  // Sends the request with `headers` (CR LF lines, added after the others)
  // and the body, and waits until the final response's header block has
  // arrived; pending window events run meanwhile (PumpEvents). Redirects are
  // followed, but never from https to plain http. False when no response came
  // (name not resolved, connection refused, TLS failure, time-out, redirect
  // loop) or when the target or a header line holds CR, LF or NUL, which
  // could smuggle a header or a request: then nothing is sent.
  bool Send(std::string_view headers = {}, std::string_view body = {});

  // Up to `capacity` bytes of the body; 0 only at its end or on failure.
  // While it waits for the server, pending window events run (PumpEvents).
  size_t Read(char* buffer, size_t capacity);

  // The final response's status line and header lines, each ended by CR LF,
  // and the empty line that closes the block. False when there is none, or
  // when the block and a terminating NUL need more than `capacity` bytes.
  bool QueryRawHeaders(std::string& block, size_t capacity) const;

  // The response's Content-Length, when it announced one.
  std::optional<uint64_t> ContentLength() const;

  // Why the request failed, in words (libcurl's error text, or why the tool
  // refused it); empty while it has not failed. A body cut short counts.
  std::string Failure() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string refusal_;  // why the request could not even be opened
};

// An address split into its parts, as the platform's URL cracker does;
// nothing is escaped or unescaped.
struct UrlParts {
  std::string scheme;  // "http" or "https"
  std::string host;
  int port = 0;
  std::string path;  // path and query, beginning with "/"
  std::optional<std::string> userName, password;
};
std::optional<UrlParts> CrackUrl(std::string_view url);

}  // namespace pakeno::transport
