#include "update/download.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <vector>

#include "http/failure_log.h"
#include "http/wire_texts.h"
#include "transport/request.h"
#include "transport/server_address.h"

namespace pakeno {
Bytes DownloadBytes(const Text& address) {
  using namespace std::chrono_literals;
  if (address.empty()) return {};
  const std::optional<transport::UrlParts> parts = transport::CrackUrl(address);
  if (!parts) {
    LogFailedRequest("GET", address, "address refused: not an http or https address");
    return {};
  }

  transport::Session session(kBrowserAgent, transport::Access::kSystem);
  if (!session.IsOpen()) return {};
  session.SetTimeouts({15s, 15s, 15s});
  session.SetMaxRedirects(5);
  transport::Connection connection(session, parts->host, parts->port, parts->userName, parts->password);
  const unsigned secure = parts->scheme == "https" ? transport::kSecure : 0u;
  transport::Request request(connection, "GET", parts->path, "HTTP/1.0", secure);
  if (!request.IsOpen() || !request.Send("Accept: */*\r\n")) {
    LogFailedRequest("GET", address, request.GetFailure().reason);
    return {};
  }

  const std::optional<uint64_t> length = request.ContentLength();
  const size_t chunk = length && *length > 0 ? static_cast<size_t>(std::min<uint64_t>(*length + 1, 102400)) : 10240;
  Bytes body;
  try {
    std::vector<char> buffer(chunk);
    while (body.size() < kMaxUpdatePageBytes) {
      const size_t n = request.Read(buffer.data(), std::min(buffer.size(), kMaxUpdatePageBytes - body.size()));
      if (n == 0) break;
      body.append(buffer.data(), n);
    }
  } catch (const std::bad_alloc&) {
    LogFailedRequest("GET", address, "not enough memory for the page");
    return {};
  }
  // A page cut short is no page: its end might have said otherwise.
  if (const std::string why = request.GetFailure().reason; !why.empty()) {
    LogFailedRequest("GET", address, why);
    return {};
  }
  return body;
}

}  // namespace pakeno
