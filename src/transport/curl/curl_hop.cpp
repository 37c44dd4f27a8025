// One hop over libcurl's multi interface: the transfer runs on the calling
// thread, a slice at a time, so the window's events run between slices and
// a request started from them runs on a transfer of its own.

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "transport/curl/curl_handles.h"
#include "transport/header_lines.h"
#include "transport/hop_driver.h"

namespace pakeno::transport {
namespace {

// The CA bundle named by the variables curl itself reads, in curl's order;
// else the library's default.
const char* CaBundleFromEnvironment() {
  for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return nullptr;
}

// The class of a failed transfer, from libcurl's code and what it knows of
// the certificate and the proxy.
FailureKind KindOf(CURLcode code, CURL* easy, bool throughProxy) {
  long proxyStatus = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &proxyStatus);
  if (proxyStatus >= 300) return FailureKind::kProxy;
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return throughProxy ? FailureKind::kProxy : FailureKind::kResolve;
    case CURLE_COULDNT_RESOLVE_PROXY:
      return FailureKind::kProxy;
    case CURLE_COULDNT_CONNECT:
      return throughProxy ? FailureKind::kProxy : FailureKind::kConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return FailureKind::kTimeout;
    case CURLE_PEER_FAILED_VERIFICATION: {
      // OpenSSL's verdict on the chain. A chain it accepted failed on the
      // name, which libcurl checks itself and then reports as 0 or 1
      // (X509_V_ERR_UNSPECIFIED), as OpenSSL would as 62.
      long verdict = 0;
      curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verdict);
      constexpr long kUnspecified = 1, kNotYetValid = 9, kExpired = 10, kHostnameMismatch = 62;
      if (verdict == kNotYetValid || verdict == kExpired) return FailureKind::kCertExpired;
      if (verdict == 0 || verdict == kUnspecified || verdict == kHostnameMismatch) return FailureKind::kCertName;
      return FailureKind::kCertUntrusted;
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_INITFAILED:
      return FailureKind::kTls;
    case CURLE_SSL_CLIENTCERT:
      return FailureKind::kCertClient;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return FailureKind::kDropped;
    case CURLE_PARTIAL_FILE:
      return FailureKind::kCutShort;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_URL_MALFORMAT:
      return FailureKind::kMalformed;
    case CURLE_OUT_OF_MEMORY:
      return FailureKind::kMemory;
    default:
      return FailureKind::kOther;
  }
}

class CurlHop final : public HopDriver {
 public:
  CurlHop() {
    if (!detail::GlobalInit()) return;
    easy_.reset(curl_easy_init());
    multi_.reset(curl_multi_init());
    if (!easy_ || !multi_) return;
    curl_easy_setopt(easy_.get(), CURLOPT_HEADERFUNCTION, &CurlHop::OnHeader);
    curl_easy_setopt(easy_.get(), CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlHop::OnBody);
    curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, this);
  }
  ~CurlHop() override { GiveUp(); }

  bool Start(const Hop& hop) override {
    GiveUp();
    done_ = false;
    result_ = CURLE_OK;
    startFailure_ = {};
    errorText_[0] = '\0';
    throughProxy_ = !hop.proxy.empty();
    startDeliveries_ = deliveries_;
    if (!easy_ || !multi_) {
      result_ = CURLE_FAILED_INIT;
      startFailure_ = {FailureKind::kOther, "libcurl could not make a transfer"};
      done_ = true;
      return false;
    }
    if (!Configure(hop) || curl_multi_add_handle(multi_.get(), easy_.get()) != CURLM_OK) {
      if (result_ == CURLE_OK) result_ = CURLE_FAILED_INIT;
      done_ = true;
      return false;
    }
    attached_ = true;
    return true;
  }

  Progress Advance(std::chrono::milliseconds wait, HopReceiver& receiver) override {
    if (done_) return Progress::kEnded;
    receiver_ = &receiver;
    const unsigned before = deliveries_;
    int running = 0;
    if (const CURLMcode code = curl_multi_perform(multi_.get(), &running); code != CURLM_OK) return MultiFailed(code);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
        done_ = true;
        result_ = message->data.result;
      }
    }
    if (done_) return Progress::kEnded;
    if (deliveries_ != before) return Progress::kMoved;
    int ready = 0;
    if (const CURLMcode code = curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(wait.count()), &ready);
        code != CURLM_OK)
      return MultiFailed(code);
    return ready == 0 ? Progress::kIdle : Progress::kMoved;
  }

  void Resume(HopReceiver& receiver) override {
    receiver_ = &receiver;
    if (attached_) curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
  }

  void ExpectBody(std::optional<uint64_t>) override {}  // libcurl ends a body where its framing says

  // libcurl bounds its own connecting (CURLOPT_CONNECTTIMEOUT_MS, names and
  // proxies included); this only tells the request it is past it.
  bool Connected() const override {
    curl_off_t connectTime = 0;
    if (attached_) curl_easy_getinfo(easy_.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
    return connectTime > 0 || deliveries_ != startDeliveries_;
  }

  Failure Ended() const override {
    if (!done_ || result_ == CURLE_OK) return {};
    if (startFailure_) return startFailure_;
    return {KindOf(result_, easy_.get(), throughProxy_), errorText_[0] ? errorText_ : curl_easy_strerror(result_)};
  }

  void GiveUp() override {
    if (attached_) curl_multi_remove_handle(multi_.get(), easy_.get());
    attached_ = false;
  }

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto& hop = *static_cast<CurlHop*>(self);
    ++hop.deliveries_;
    return hop.receiver_->HeadLine(std::string_view(data, size * count)) ? size * count : 0;
  }
  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto& hop = *static_cast<CurlHop*>(self);
    ++hop.deliveries_;
    return hop.receiver_->Body(std::string_view(data, size * count)) ? size * count : CURL_WRITEFUNC_PAUSE;
  }

  Progress MultiFailed(CURLMcode code) {
    startFailure_ = {FailureKind::kOther, std::string("libcurl failed: ") + curl_multi_strerror(code)};
    result_ = CURLE_FAILED_INIT;
    done_ = true;
    return Progress::kEnded;
  }

  bool Configure(const Hop& hop) {
    CURL* e = easy_.get();
    // Only where to connect comes from the address; the target goes out as given.
    url_.reset(curl_url());
    const std::string port = std::to_string(hop.port);
    if (!url_ || curl_url_set(url_.get(), CURLUPART_SCHEME, hop.https ? "https" : "http", 0) != CURLUE_OK ||
        curl_url_set(url_.get(), CURLUPART_HOST, hop.host.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url_.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK) {
      result_ = CURLE_URL_MALFORMAT;
      startFailure_ = {FailureKind::kServerName, "address refused: the server name is not one a URL can hold"};
      return false;
    }
    curl_easy_setopt(e, CURLOPT_CURLU, url_.get());
    // Through a proxy a plain-http target is the absolute address.
    target_ = !hop.proxy.empty() && !hop.https ? hop.absoluteTarget : hop.target;
    curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, target_.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);  // the request follows redirects itself
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, hop.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_USERAGENT, hop.agent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(e, CURLOPT_HTTP_TRANSFER_DECODING, 1L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 128L * 1024);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText_);
    if (const char* bundle = CaBundleFromEnvironment()) curl_easy_setopt(e, CURLOPT_CAINFO, bundle);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(hop.connect.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(hop.total.count()));
    // Less than one byte a second over the idle period: nothing is coming.
    const long idleSeconds = std::max<long>(1, static_cast<long>((hop.idle.count() + 999) / 1000));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, idleSeconds);
    curl_easy_setopt(e, CURLOPT_PROXY, hop.proxy.c_str());  // "": direct, whatever the environment says
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");

    if (hop.verb == "GET" || !hop.hasBody) {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, hop.body.data());
    }
    curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST,
                     hop.verb == "GET" || (hop.verb == "POST" && hop.hasBody) ? nullptr : hop.verb.c_str());

    // libcurl's own Accept, Expect and Content-Type are suppressed: only
    // what the request gave goes out.
    std::vector<std::string> lines = hop.headerLines;
    for (std::string_view name : {"Accept", "Expect", "Content-Type"}) {
      if (!HasHeader(lines, name)) lines.push_back(std::string(name) + ":");
    }
    detail::Slist list;
    for (const std::string& line : lines) {
      curl_slist* grown = curl_slist_append(list.get(), line.c_str());
      if (!grown) {
        result_ = CURLE_OUT_OF_MEMORY;
        return false;
      }
      list.release();
      list.reset(grown);
    }
    headerList_ = std::move(list);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList_.get());
    return true;
  }

  // libcurl keeps pointers into these for as long as the transfer exists:
  // declared before it, they are destroyed after it.
  detail::Url url_;
  detail::Slist headerList_;
  std::string target_;
  char errorText_[CURL_ERROR_SIZE] = {};
  detail::Easy easy_;
  detail::Multi multi_;

  HopReceiver* receiver_ = nullptr;
  unsigned deliveries_ = 0;
  unsigned startDeliveries_ = 0;  // deliveries_ when the hop started
  bool attached_ = false;
  bool done_ = false;
  bool throughProxy_ = false;
  CURLcode result_ = CURLE_OK;
  Failure startFailure_;  // the tool's words for what failed before libcurl could say
};

}  // namespace

std::unique_ptr<HopDriver> MakeHopDriver() { return std::make_unique<CurlHop>(); }

}  // namespace pakeno::transport
