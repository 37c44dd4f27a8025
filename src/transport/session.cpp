#include "transport/session.h"

#include <utility>

#include "system/process.h"
#include "transport/server_address.h"
#include "transport/transport_global.h"

namespace pakeno::transport {
namespace {

Timeouts& DefaultTimeouts() {
  static Timeouts timeouts;
  return timeouts;
}

bool& RefuseSessions() {
  static bool refuse = false;
  return refuse;
}

}  // namespace

Timeouts SetDefaultTimeouts(const Timeouts& timeouts) { return std::exchange(DefaultTimeouts(), timeouts); }

bool SetSessionRefusalForTesting(bool refuse) { return std::exchange(RefuseSessions(), refuse); }

Session::Session(std::string_view agent, Access access, std::string_view proxyList)
    : agent_(agent), access_(access), timeouts_(DefaultTimeouts()) {
  if (RefuseSessions() || !TransportAvailable()) return;
  if (access == Access::kProxy) {
    proxies_ = ParseProxyList(proxyList);
    if (proxies_.http.empty() && proxies_.https.empty()) return;  // a proxy session needs a proxy
  }
  open_ = true;
}

std::string Session::ProxyFor(std::string_view scheme, std::string_view host) const {
  switch (access_) {
    case Access::kDirect:
      return {};
    case Access::kProxy:
      return scheme == "https" ? proxies_.https : proxies_.http;
    case Access::kSystem:
      return SystemProxyFor(scheme, host, EnvironmentVariable);
  }
  return {};
}

Connection::Connection(const Session& session, std::string_view server, int port, std::optional<std::string> userName,
                       std::optional<std::string> password)
    : session_(session),
      server_(server),
      port_(port),
      userName_(std::move(userName)),
      password_(std::move(password)),
      refusal_(ServerNameRefusal(server)) {}

}  // namespace pakeno::transport
