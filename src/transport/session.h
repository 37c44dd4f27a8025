#pragma once

// A transport session and a connection to one server. A session carries the
// agent text and says how requests reach their servers: directly, through a
// named proxy, or as the system is configured. Nothing goes on the wire here.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "transport/failure.h"
#include "transport/proxy_rules.h"

namespace pakeno::transport {

enum class Access {
  kDirect,  // no proxy, whatever the environment says
  kProxy,   // the proxy list given, e.g. "http=127.0.0.1:8888"
  kSystem,  // as the system is configured: http_proxy, https_proxy, no_proxy
};

struct Timeouts {
  std::chrono::milliseconds connect{60'000};  // to have a connection
  std::chrono::milliseconds idle{60'000};     // nothing received for this long ends the transfer
  std::chrono::milliseconds total{300'000};   // the whole request, redirects included; 0: no limit
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
// Returns the previous setting.
bool SetSessionRefusalForTesting(bool refuse);

class Connection {
 public:
  // Port 0 means the service's default (80, or 443 for a secure request).
  // `server` is taken whole as the server's name: a text that cannot be one
  // resolves nowhere, and every request on the connection fails when sent.
  Connection(const Session& session, std::string_view server, int port, std::optional<std::string> userName = {},
             std::optional<std::string> password = {});
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool IsOpen() const { return session_.IsOpen(); }
  // Why the server name cannot be one; none when it can.
  const Failure& Refusal() const { return refusal_; }
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
  Failure refusal_;
};

}  // namespace pakeno::transport
