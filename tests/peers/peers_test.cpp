// Against real peers started by peers.sh: nginx over http and https, and tinyproxy.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// After windows.h, whose types it uses.
#include <wincrypt.h>
#endif

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "encoding/gbk.h"
#include "http/http_session.h"
#include "http/page_fetch.h"
#include "support/environment.h"
#include "support/fakes.h"
#include "support/under_wine.h"
#include "update/download.h"
#include "workflows/submission.h"

namespace pakeno {
namespace {

std::string PeersDir() {
  const char* dir = std::getenv("PAKENO_PEERS_DIR");
  return dir ? dir : "";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The port a peer listens on, as peers.sh picked it.
int Port(const std::string& name) {
  std::ifstream in(PeersDir() + "/ports");
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(name + "=")) return std::stoi(line.substr(name.size() + 1));
  }
  ADD_FAILURE() << "no port for " << name;
  return 0;
}
std::string HostPort(const std::string& name, const char* host = "127.0.0.1") {
  return host + (":" + std::to_string(Port(name)));
}

// Our own CA, trusted as the transport looks for trust: under both names
// curl reads (CURL_CA_BUNDLE wins when both are set), or in the Windows
// store of roots (Wine's, in the build's own prefix).
void TrustTheTestCa(const std::string& pemPath) {
#ifdef _WIN32
  const std::string pem = ReadFile(pemPath);
  DWORD size = 0;
  CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                       nullptr);
  std::string der(size, '\0');
  ASSERT_TRUE(CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                                   reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr));
  HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
  ASSERT_NE(roots, nullptr);
  EXPECT_TRUE(CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                               size, CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
  CertCloseStore(roots, 0);
#else
  for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) testing::SetEnvironment(name, pemPath);
#endif
}

class Peers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PeersDir().empty()) GTEST_SKIP() << "PAKENO_PEERS_DIR is not set; run through ctest";
    TrustTheTestCa(PeersDir() + "/certs/testca.pem");
  }
};

TEST_F(Peers, GetAndPostAgainstNginx) {
  EXPECT_EQ(FetchPageText("http://" + HostPort("http") + "/"), "hello from nginx\n");
  EXPECT_EQ(FetchPage(HostPort("http") + "/files/gbk.txt"), "\xD6\xD0\xCE\xC4 GBK page\n");
  HttpSession session;
  EXPECT_EQ(session.PostHttp(HostPort("http") + "/index.html", "a=\xD6\xD0"), "hello from nginx\n");
}

// Wine's check of a server certificate compares names alone, not the IP addresses a certificate names.
constexpr const char* kWineMatchesNoIpAddress = "Wine does not match an IP address against the certificate's";

TEST_F(Peers, PostHttpsVerifiesTheCertificate) {
  HttpSession session;
  if (!testing::UnderWine()) {
    EXPECT_EQ(session.PostHttps("https://127.0.0.1/index.html", "a=1", Port("https")), "hello from nginx\n")
        << kWineMatchesNoIpAddress;
  }
  EXPECT_EQ(session.PostHttps("localhost/index.html", "a=1", Port("https")), "hello from nginx\n");
  // By name, which every system checks against the certificate, so each row
  // fails for the reason it names and not at the name check.
  using Kind = transport::FailureKind;
  const struct {
    const char* what;
    int port;
    Kind kind;
  } rejected[] = {{"self-signed", Port("selfsigned"), Kind::kCertUntrusted},
                  {"expired", Port("expired"), Kind::kCertExpired},
                  {"another host", Port("wronghost"), Kind::kCertName},
                  {"unknown CA", Port("unknownca"), Kind::kCertUntrusted}};
  // Wine's chain check finds an unknown authority's revocation unknown (12057) before it finds the authority unknown.
  const auto expected = [](const auto& r) {
    return testing::UnderWine() && r.port == Port("unknownca") ? Kind::kCertRevocation : r.kind;
  };
  for (const auto& r : rejected) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(session.PostHttps("https://localhost/index.html", "a=1", r.port), "");
    EXPECT_EQ(session.LastOutcome().failure.kind, expected(r)) << session.LastOutcome().failure.reason;
    RequestOutcome outcome;
    EXPECT_EQ(FetchPage("https://localhost:" + std::to_string(r.port) + "/index.html", {}, {}, nullptr, {}, nullptr,
                        {false, &outcome}),
              "");
    EXPECT_EQ(outcome.failure.kind, expected(r)) << outcome.failure.reason;
  }
}

TEST_F(Peers, GetOverHttpsTypedOrChecked) {
  const std::string hostPort = "localhost:" + std::to_string(Port("https"));
  EXPECT_EQ(FetchPageText("HTTPS://" + hostPort + "/index.html"), "hello from nginx\n");
  EXPECT_EQ(FetchPageText(hostPort + "\\index.html", {}, {}, nullptr, {}, nullptr, {true, nullptr}),
            "hello from nginx\n");

  // Through the send button, as the user meets it: the body, and the line under the buttons.
  testing::FakeWindow window;
  testing::FakeMessageBoxes boxes;
  ProgramState state;
  state.httpSession = std::make_unique<HttpSession>();
  window.Select(RadioBox::kHttps, RadioBox::kGet);
  window.texts = {{EditBox::kAddress, " " + hostPort + "/index.html "}};
  PressSend(window, boxes, state);
  EXPECT_EQ(window.texts[EditBox::kReturn], "hello from nginx\n");
  EXPECT_TRUE(GbkToUtf8(window.outcome).starts_with("200 OK · 17 字节 · ")) << GbkToUtf8(window.outcome);
  window.texts = {{EditBox::kAddress, "localhost:" + std::to_string(Port("selfsigned")) + "/index.html"}};
  PressSend(window, boxes, state);
  EXPECT_EQ(window.texts[EditBox::kReturn], "");
  EXPECT_EQ(GbkToUtf8(window.outcome), "发送失败：服务器证书不受信任");
  EXPECT_TRUE(window.outcomeIsError);
}

TEST_F(Peers, CurlsOwnVariableNamesTheBundleFirst) {
  if (testing::kWindows) GTEST_SKIP() << "WinINet trusts the Windows store of roots, not curl's variables";
  testing::SetEnvironment("SSL_CERT_FILE", "/nonexistent/bundle.pem");
  HttpSession session;
  EXPECT_EQ(session.PostHttps("https://127.0.0.1/index.html", "a=1", Port("https")), "hello from nginx\n");
}

TEST_F(Peers, HttpsIsNeverRedirectedIntoClearText) {
  const std::string run = testing::ProcessId();
  HttpSession session;
  EXPECT_EQ(session.PostHttps("127.0.0.1/to-http?run=" + run, "password=secret", Port("https")), "");
  EXPECT_EQ(DownloadBytes("https://" + HostPort("https") + "/to-http?run=" + run), "");
  EXPECT_EQ(ReadFile(PeersDir() + "/nginx-access.log").find("leaked-in-clear-" + run), std::string::npos);
}

TEST_F(Peers, PlainHttpCannotPlantASessionOverASecureOne) {
  if (testing::UnderWine()) GTEST_SKIP() << kWineMatchesNoIpAddress;
  // On 127.0.0.2: libcurl takes 127.0.0.1 for a secure context, as browsers do.
  HttpSession session;
  EXPECT_EQ(session.PostHttps("127.0.0.2/login", "user=a", Port("https")), "logged in\n");
  EXPECT_EQ(FetchPageText("http://" + HostPort("http", "127.0.0.2") + "/plant"), "planted\n");
  EXPECT_EQ(session.PostHttps("127.0.0.2/whoami", "a=1", Port("https")), "cookie:sess=GOOD\n");
}

TEST_F(Peers, FetchThroughTinyproxy) {
  Text received;
  EXPECT_EQ(FetchPage("http://" + HostPort("http") + "/files/gbk.txt", {}, HostPort("proxy"), nullptr, {}, &received),
            "\xD6\xD0\xCE\xC4 GBK page\n");
  EXPECT_TRUE(received.starts_with("HTTP/1.1 200")) << received;
  const std::string log = ReadFile(PeersDir() + "/tinyproxy.log");
  EXPECT_NE(log.find("GET http://" + HostPort("http") + "/files/gbk.txt"), std::string::npos);
}

TEST_F(Peers, SixtyFourMebibytesArriveByteExact) {
  const std::string expected = ReadFile(PeersDir() + "/www/files/big.bin");
  ASSERT_EQ(expected.size(), 64u << 20);
  EXPECT_TRUE(FetchPage("http://" + HostPort("http") + "/files/big.bin") == expected);
  HttpSession session;
  EXPECT_TRUE(session.PostHttp(HostPort("http") + "/files/big.bin", "a=1") == expected);
}

// PHP's built-in server with a small GBK site: a login under /shop whose
// session cookie is scoped to /shop, form handlers that redirect.
Text At(const char* path) { return HostPort("php") + path; }

TEST_F(Peers, ALoginUnderASubPathKeepsItsSession) {
  HttpSession session;
  const Text name = "\xD5\xC5\xC8\xFD";  // 张三, as typed into the data box
  EXPECT_EQ(session.PostHttp(At("/shop/account.php"), "a=1"), Gbk("请先登录\n"));
  EXPECT_EQ(session.PostHttp(At("/shop/login.php"), "user=" + name + "&pass=secret"), Gbk("欢迎，张三！\n"));
  // The cookie for /shop goes back under /shop, by POST and by GET ...
  EXPECT_EQ(session.PostHttp(At("/shop/account.php"), "a=1"), Gbk("用户：张三\n"));
  EXPECT_EQ(FetchPageText("http://" + At("/shop/account.php?view=1")), Gbk("用户：张三\n"));
  // ... and nowhere else.
  EXPECT_EQ(FetchPageText("http://" + At("/other/cookies.php")), "cookies:\n");
}

// Cookies as PHP sets them: once each, for the directory they were set in,
// deleted by a logout whichever method asks, and a redirect target's cookies
// never land on the host that was typed.
TEST_F(Peers, CookiesBehaveAsInABrowser) {
  HttpSession session;
  const Text show = "http://" + At("/cookies/show.php");
  EXPECT_EQ(FetchPageText("http://" + At("/cookies/set.php")), "set\n");
  EXPECT_EQ(FetchPageText(show), "cookies:na=n1; remember=me\n");
  EXPECT_EQ(FetchPageText("http://" + At("/other/cookies.php")), "cookies:remember=me\n");
  EXPECT_EQ(session.PostHttp(At("/cookies/logout.php"), "a=1"), "bye\n");
  EXPECT_EQ(FetchPageText(show), "cookies:na=n1\n");
  EXPECT_EQ(session.PostHttp(At("/cookies/show.php"), "a=1"), "cookies:na=n1\n");

  EXPECT_EQ(session.PostHttp(At("/cookies/away.php"), "a=1"), "planted\n");
  EXPECT_EQ(FetchPageText("http://" + At("/cookies/away.php")), "planted\n");
  EXPECT_EQ(FetchPageText(show), "cookies:na=n1\n");
  EXPECT_EQ(FetchPageText("http://" + HostPort("php", "127.0.0.2") + "/cookies/show.php"),
            "cookies:PHPSESSID=planted\n");
}

TEST_F(Peers, FormPostsThatRedirectEndOnTheGbkPage) {
  HttpSession session;
  EXPECT_EQ(session.PostHttp(At("/redirect.php?code=302"), "a=1"), Gbk("中文页面 GET 302 正文长度 0\n"));
  EXPECT_EQ(session.PostHttp(At("/redirect.php?code=303"), "a=1"), Gbk("中文页面 GET 303 正文长度 0\n"));
  EXPECT_EQ(FetchPageText("http://" + At("/redirect.php?code=302"), "POST", {}, nullptr, "a=1"),
            Gbk("中文页面 GET 302 正文长度 0\n"));
  // 307 keeps the method and the body.
  EXPECT_EQ(session.PostHttp(At("/redirect.php?code=307"), "a=123"), Gbk("中文页面 POST 307 正文长度 5\n"));
}

// The session object goes "as the system is configured": http_proxy and no_proxy.
TEST_F(Peers, PostsGoThroughTheSystemProxyInAbsoluteForm) {
  const std::string marker = testing::ProcessId();
  testing::SetEnvironment("http_proxy", ("http://" + HostPort("proxy")).c_str());
  testing::UnsetEnvironment("no_proxy");
  testing::UnsetEnvironment("NO_PROXY");
  HttpSession session;
  EXPECT_EQ(session.PostHttp(At("/gbk.php?via=") + marker, "a=1"), Gbk("中文页面 POST  正文长度 3\n"));
  // The page fetch with no proxy text goes direct whatever the environment says.
  EXPECT_EQ(FetchPageText("http://" + At("/gbk.php?direct=") + marker), Gbk("中文页面 GET  正文长度 0\n"));
  testing::SetEnvironment("no_proxy", "localhost,127.0.0.1");
  EXPECT_EQ(session.PostHttp(At("/gbk.php?exempt=") + marker, "a=1"), Gbk("中文页面 POST  正文长度 3\n"));
  testing::UnsetEnvironment("http_proxy");
  testing::UnsetEnvironment("no_proxy");

  const std::string log = ReadFile(PeersDir() + "/tinyproxy.log");
  EXPECT_NE(log.find("POST http://" + At("/gbk.php?via=") + marker + " HTTP/1.1"), std::string::npos) << log;
  EXPECT_EQ(log.find("direct=" + marker), std::string::npos);
  EXPECT_EQ(log.find("exempt=" + marker), std::string::npos);
}

// Credentials in the proxy's address go to a proxy that asks for them,
// percent-decoded; without them its 407 is a failure, not the page.
TEST_F(Peers, AProxysCredentialsComeFromItsAddress) {
  testing::UnsetEnvironment("no_proxy");
  testing::UnsetEnvironment("NO_PROXY");
  EXPECT_EQ(FetchPage("http://" + HostPort("http") + "/files/gbk.txt", {}, "pakeno:s3cret@" + HostPort("authproxy")),
            "\xD6\xD0\xCE\xC4 GBK page\n");
  RequestOutcome outcome;
  FetchOptions options;
  options.outcome = &outcome;
  EXPECT_EQ(FetchPageText("http://" + HostPort("http") + "/files/gbk.txt", {}, HostPort("authproxy"), nullptr, {},
                          nullptr, options),
            "");
  EXPECT_EQ(outcome.failure.kind, transport::FailureKind::kProxy) << outcome.failure.reason;
  // From the environment, for a POST: in one go, before the proxy reads the body.
  testing::SetEnvironment("http_proxy", "http://pakeno:%733cret@" + HostPort("authproxy"));
  EXPECT_EQ(HttpSession().PostHttp(At("/gbk.php"), "a=1"), Gbk("中文页面 POST  正文长度 3\n"));
  testing::UnsetEnvironment("http_proxy");
  // Through a tunnel: they answer the CONNECT's challenge, and the server never sees them.
  testing::SetEnvironment("https_proxy", "http://pakeno:%733cret@" + HostPort("authproxy"));
  EXPECT_EQ(HttpSession().PostHttps("localhost/index.html", "a=1", Port("https")), "hello from nginx\n");
  testing::UnsetEnvironment("https_proxy");
}

}  // namespace
}  // namespace pakeno
