#include "update/connectivity.h"

#include <chrono>
#include <memory>
#include <utility>

#include "http/failure_log.h"
#include "http/wire_texts.h"
#include "system/network_state.h"
#include "transport/request.h"
#include "transport/server_address.h"

namespace pakeno {
namespace {

std::function<bool()>& InterfaceCheck() {
  static std::function<bool()> check;
  return check;
}

bool AnyInterfaceUp() { return InterfaceCheck() ? InterfaceCheck()() : transport::AnyNetworkInterfaceUp(); }

}  // namespace

std::function<bool()> SetInterfaceCheckForTesting(std::function<bool()> anyInterfaceUp) {
  return std::exchange(InterfaceCheck(), std::move(anyInterfaceUp));
}

bool IsInternetConnected(const Text& probeAddress) {
  using namespace std::chrono_literals;
  if (!AnyInterfaceUp()) return false;
  transport::Session session(kProbeAgent, transport::Access::kSystem);
  if (!session.IsOpen()) return false;
  // The window waits for this; a network that swallows packets must not hold it long.
  session.SetTimeouts({5s, 5s, 5s});
  session.SetMaxRedirects(5);
  const std::optional<transport::UrlParts> parts = transport::CrackUrl(probeAddress);
  if (!parts) {
    LogFailedRequest("GET", probeAddress, "address refused: not an http or https address");
    return false;
  }
  transport::Connection connection(session, parts->host, parts->port, parts->userName, parts->password);
  const unsigned secure = parts->scheme == "https" ? transport::kSecure : 0u;
  transport::Request request(connection, "GET", parts->path, "HTTP/1.1", secure);
  if (request.IsOpen() && request.Send()) return true;
  LogFailedRequest("GET", probeAddress, request.GetFailure().reason);
  return false;
}

}  // namespace pakeno
