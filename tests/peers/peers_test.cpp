// Against real peers started by peers.sh: nginx over http and https, and tinyproxy.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "http/http_session.h"
#include "http/page_fetch.h"

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

class Peers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PeersDir().empty()) GTEST_SKIP() << "PAKENO_PEERS_DIR is not set; run through ctest";
    // Our own CA, under both names curl reads (CURL_CA_BUNDLE wins when both are set).
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) setenv(name, (PeersDir() + "/certs/testca.pem").c_str(), 1);
  }
};

TEST_F(Peers, GetAndPostAgainstNginx) {
  EXPECT_EQ(FetchPageText("http://127.0.0.1:18080/"), "hello from nginx\n");
  EXPECT_EQ(FetchPage("127.0.0.1:18080/files/gbk.txt"), "\xD6\xD0\xCE\xC4 GBK page\n");
  HttpSession session;
  EXPECT_EQ(session.PostHttp("127.0.0.1:18080/index.html", "a=\xD6\xD0"), "hello from nginx\n");
}

TEST_F(Peers, PostHttpsVerifiesTheCertificate) {
  HttpSession session;
  EXPECT_EQ(session.PostHttps("https://127.0.0.1/index.html", "a=1", 18443), "hello from nginx\n");
  EXPECT_EQ(session.PostHttps("localhost/index.html", "a=1", 18443), "hello from nginx\n");
  const struct {
    const char* what;
    int port;
  } rejected[] = {{"self-signed", 18444}, {"expired", 18445}, {"another host", 18446}, {"unknown CA", 18447}};
  for (const auto& r : rejected) {
    EXPECT_EQ(session.PostHttps("https://127.0.0.1/index.html", "a=1", r.port), "") << r.what;
  }
}

TEST_F(Peers, FetchThroughTinyproxy) {
  Text received;
  EXPECT_EQ(FetchPage("http://127.0.0.1:18080/files/gbk.txt", {}, "127.0.0.1:18888", nullptr, {}, &received),
            "\xD6\xD0\xCE\xC4 GBK page\n");
  EXPECT_TRUE(received.starts_with("HTTP/1.1 200")) << received;
  const std::string log = ReadFile(PeersDir() + "/tinyproxy.log");
  EXPECT_NE(log.find("GET http://127.0.0.1:18080/files/gbk.txt"), std::string::npos);
}

TEST_F(Peers, SixtyFourMebibytesArriveByteExact) {
  const std::string expected = ReadFile(PeersDir() + "/www/files/big.bin");
  ASSERT_EQ(expected.size(), 64u << 20);
  EXPECT_TRUE(FetchPage("http://127.0.0.1:18080/files/big.bin") == expected);
  HttpSession session;
  EXPECT_TRUE(session.PostHttp("127.0.0.1:18080/files/big.bin", "a=1") == expected);
}

}  // namespace
}  // namespace pakeno
