// One hop over WinINet. Its sending and reading block, so they run on a
// thread of the hop's own while the calling thread keeps the window's
// events flowing; what arrives is handed over on the calling thread.

#include <windows.h>
// After windows.h, whose types it uses.
#include <wininet.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "transport/header_lines.h"
#include "transport/hop_driver.h"
#include "transport/proxy_rules.h"
#include "transport/wininet/request_flags.h"
#include "transport/wininet/wininet_errors.h"
#include "transport/wininet/wininet_transfer.h"

namespace pakeno::transport {
namespace {

// How long a call whose handles were closed is given to come out.
constexpr std::chrono::milliseconds kCancelWait{500};

class WinInetHop final : public HopDriver {
 public:
  ~WinInetHop() override { GiveUp(); }

  bool Start(const Hop& hop) override {
    GiveUp();
    failure_ = {};
    held_.clear();
    headDelivered_ = false;
    throughProxy_ = !hop.proxy.empty();
    DWORD access = hop.proxy.empty() ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PROXY;
    if (hop.systemProxy) access = INTERNET_OPEN_TYPE_PRECONFIG;  // Windows' own settings
    // WinINet takes a proxy's credentials as options, never in its address.
    const ProxyCredentials proxy = SplitProxyCredentials(hop.proxy);
    const bool proxyLogin = !proxy.user.empty();
    auto next = std::make_shared<Transfer>();
    next->internet.reset(InternetOpenA(hop.agent.empty() ? nullptr : hop.agent.c_str(), access,
                                       proxy.address.empty() ? nullptr : proxy.address.c_str(), nullptr, 0));
    const auto context = reinterpret_cast<DWORD_PTR>(next.get());
    if (next->internet) {
      // One try per address: the request bounds the whole of connecting, and
      // WinINet's default of five would go on well past it.
      DWORD retries = 1;
      InternetSetOptionA(next->internet.get(), INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
      InternetSetStatusCallbackA(next->internet.get(), OnStatus);
      next->connection.reset(InternetConnectA(next->internet.get(), hop.host.c_str(),
                                              static_cast<INTERNET_PORT>(hop.port), nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, context));
    }
    if (next->connection) {
      next->request.reset(HttpOpenRequestA(next->connection.get(), hop.verb.c_str(), hop.target.c_str(),
                                           hop.http10 ? "HTTP/1.0" : "HTTP/1.1", nullptr, nullptr,
                                           WinInetRequestFlags(hop.https, proxyLogin), context));
    }
    if (next->request && proxyLogin &&
        (!InternetSetOptionA(next->request.get(), INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(proxy.user.c_str()),
                             static_cast<DWORD>(proxy.user.size())) ||
         !InternetSetOptionA(next->request.get(), INTERNET_OPTION_PROXY_PASSWORD,
                             const_cast<char*>(proxy.password.c_str()), static_cast<DWORD>(proxy.password.size())))) {
      next->request.reset();
    }
    if (!next->request) return Failed(GetLastError());

    auto limit = [&](std::chrono::milliseconds wanted) -> DWORD {
      auto ms = wanted.count() > 0 ? wanted : std::chrono::milliseconds(0x7fffffff);
      if (hop.total.count() > 0) ms = std::min(ms, hop.total);
      return static_cast<DWORD>(std::max<long long>(1, ms.count()));
    };
    DWORD connectMs = limit(hop.connect), idleMs = limit(hop.idle);
    InternetSetOptionA(next->request.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    InternetSetOptionA(next->request.get(), INTERNET_OPTION_SEND_TIMEOUT, &idleMs, sizeof idleMs);
    InternetSetOptionA(next->request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &idleMs, sizeof idleMs);

    // Host and User-Agent lead, as libcurl writes them, so WinINet adds none
    // of its own further down; a line of the request's own of the same name wins.
    std::vector<std::string> lines;
    if (!HasHeader(hop.headerLines, "Host")) {
      const int defaultPort = hop.https ? 443 : 80;
      lines.push_back("Host: " + hop.host + (hop.port == defaultPort ? std::string() : ":" + std::to_string(hop.port)));
    }
    if (!hop.agent.empty() && !HasHeader(hop.headerLines, "User-Agent")) lines.push_back("User-Agent: " + hop.agent);
    // Over plain http the proxy reads the head itself, so its credentials go
    // with the first try, as libcurl sends them: a proxy that answers 407
    // before reading a POST's body may reset the connection under it. Over
    // https this head goes through the tunnel to the server, which must not
    // see them; WinINet answers the CONNECT's challenge with the options.
    if (proxyLogin && !hop.https && !HasHeader(hop.headerLines, "Proxy-Authorization")) {
      lines.push_back("Proxy-Authorization: Basic " + Base64(proxy.user + ":" + proxy.password));
    }
    lines.insert(lines.end(), hop.headerLines.begin(), hop.headerLines.end());
    // A line WinINet will not take fails the request: it never goes out without one it was given.
    for (const std::string& line : lines) {
      const std::string withEnd = line + "\r\n";
      if (!HttpAddRequestHeadersA(next->request.get(), withEnd.c_str(), static_cast<DWORD>(withEnd.size()),
                                  HTTP_ADDREQ_FLAG_ADD)) {
        const DWORD error = GetLastError();
        failure_ = {FailureKind::kHeaderLine, "WinINet refused the header line \"" + std::string(HeaderName(line)) +
                                                  "\" (error " + std::to_string(error) + ")"};
        return false;
      }
    }

    next->body.assign(hop.body);
    next->busy = true;
    transfer_ = std::move(next);
    thread_ = std::thread([transfer = transfer_, handle = transfer_->request.get()] { transfer->Send(handle); });
    return true;
  }

  Progress Advance(std::chrono::milliseconds wait, HopReceiver& receiver) override {
    if (!transfer_) return Progress::kEnded;
    if (headDelivered_ && !held_.empty()) return DeliverBody(receiver);
    {
      std::unique_lock lock(transfer_->mutex);
      const bool moved = transfer_->changed.wait_for(lock, wait, [&] {
        return (transfer_->sent && !headDelivered_) || transfer_->Unread() > 0 || transfer_->ended ||
               (transfer_->sent && transfer_->error != 0);
      });
      if (!moved) return Progress::kIdle;
    }
    if (!headDelivered_) return DeliverHead(receiver);
    return DeliverBody(receiver);
  }

  void Resume(HopReceiver&) override {}  // what was refused is offered again on the next Advance

  void ExpectBody(std::optional<uint64_t> length) override {
    if (!transfer_) return;
    std::lock_guard lock(transfer_->mutex);
    transfer_->length = length;
  }

  bool Connected() const override {
    if (!transfer_) return false;
    if (transfer_->connected) return true;
    std::lock_guard lock(transfer_->mutex);
    return transfer_->sent && transfer_->error == 0;
  }

  Failure Ended() const override {
    if (failure_) return failure_;
    if (!transfer_) return {};
    std::lock_guard lock(transfer_->mutex);
    if (transfer_->lowMemory)
      return {FailureKind::kMemory,
              "not enough memory for the body after " + std::to_string(transfer_->received >> 20) + " MiB"};
    if (transfer_->error != 0) return WinInetFailure(transfer_->error, throughProxy_);
    return {};
  }

  // Ends the hop at once. Closing a handle ends the WinINet calls pending on
  // it (InternetCloseHandle's documented contract), so the thread comes out
  // and is joined. A WinINet that keeps waiting regardless (Wine's does,
  // until its own time-out) is not waited for: the thread is let go and
  // touches nothing of the hop's again.
  void GiveUp() override {
    if (!transfer_) return;
    bool blocked;
    {
      std::lock_guard lock(transfer_->mutex);
      transfer_->cancelled = true;
      blocked = transfer_->busy;
      transfer_->changed.notify_all();
    }
    if (blocked) {
      transfer_->request.reset();
      transfer_->connection.reset();
      transfer_->internet.reset();
      std::unique_lock lock(transfer_->mutex);
      blocked = !transfer_->changed.wait_for(lock, kCancelWait, [&] { return !transfer_->busy; });
    }
    if (thread_.joinable()) {
      if (blocked) {
        thread_.detach();
      } else {
        thread_.join();
      }
    }
    transfer_.reset();
  }

 private:
  bool Failed(DWORD error) {
    failure_ = WinInetFailure(error ? error : ERROR_INTERNET_INTERNAL_ERROR, throughProxy_);
    return false;
  }

  // The response head, line by line; then the body's thread starts.
  Progress DeliverHead(HopReceiver& receiver) {
    thread_.join();  // the send has returned
    if (transfer_->error != 0) {
      failure_ = WinInetFailure(transfer_->error, throughProxy_);
      return Progress::kEnded;
    }
    std::string raw;
    DWORD size = 0;
    HttpQueryInfoA(transfer_->request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
    raw.resize(size + 1);
    size = static_cast<DWORD>(raw.size());
    if (!HttpQueryInfoA(transfer_->request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &size, nullptr)) {
      Failed(GetLastError());
      return Progress::kEnded;
    }
    raw.resize(size);
    headDelivered_ = true;
    std::string_view rest = raw;
    bool ended = false;
    while (!rest.empty() && !ended) {
      const size_t end = rest.find("\r\n");
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
      ended = line.empty();
      if (!receiver.HeadLine(line)) return Progress::kEnded;
    }
    if (!ended && !receiver.HeadLine("")) return Progress::kEnded;
    if (transfer_)
      thread_ = std::thread([transfer = transfer_, handle = transfer_->request.get()] { transfer->Read(handle); });
    return Progress::kMoved;
  }

  // What the thread read, handed over whole; what the receiver does not
  // take now is offered again next time.
  Progress DeliverBody(HopReceiver& receiver) {
    if (held_.empty()) {
      std::lock_guard lock(transfer_->mutex);
      if (transfer_->Unread() == 0) return transfer_->ended ? Progress::kEnded : Progress::kIdle;
      transfer_->pending.TakeAll(held_);
      transfer_->changed.notify_all();  // room for the thread to read on
    }
    if (receiver.Body(held_)) held_.clear();
    return Progress::kMoved;
  }

  std::shared_ptr<Transfer> transfer_;
  std::thread thread_;
  std::string held_;  // body bytes taken from the thread, not yet from the receiver
  Failure failure_;
  bool headDelivered_ = false;
  bool throughProxy_ = false;
};

}  // namespace

DWORD WinInetRequestFlags(bool https, bool proxyLogin) {
  // Redirects are the request's to follow, cookies its store's, and nothing
  // is cached, read from the cache, asked of the user or answered to a
  // challenge behind its back: every answer is the server's, now. Only a
  // proxy's challenge is answered, with the credentials its address gave.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
  if (!proxyLogin) flags |= INTERNET_FLAG_NO_AUTH;
  if (https) flags |= INTERNET_FLAG_SECURE;
  return flags;
}

std::unique_ptr<HopDriver> MakeHopDriver() { return std::make_unique<WinInetHop>(); }

}  // namespace pakeno::transport
