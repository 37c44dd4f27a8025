#include "http/address_split.h"

#include <gtest/gtest.h>

namespace pakeno {
namespace {

struct SplitCase {
  std::string_view address;
  bool accepted;
  std::string_view server;
  int port;
  std::string_view objectName;
  transport::FailureKind refusal = transport::FailureKind::kNone;
};

void Expect(const SplitCase& c, const std::optional<PostTarget>& target, const transport::Failure& refusal) {
  SCOPED_TRACE(std::string(c.address));
  ASSERT_EQ(target.has_value(), c.accepted);
  EXPECT_EQ(refusal.kind, c.refusal);
  if (!target) return;
  EXPECT_EQ(target->server, c.server);
  EXPECT_EQ(target->objectName, c.objectName);
  EXPECT_EQ(target->port, c.port);
}

TEST(SplitHttpAddress, Table) {
  const SplitCase cases[] = {
      {"http://srv/a/b.php?x=1", true, "srv", 80, "a/b.php?x=1"},
      {"HTTP://Srv", true, "Srv", 80, "\\"},
      {"srv:8080/x", true, "srv", 8080, "x"},
      {"srv:/x", true, "srv", 80, "x"},  // a final ":" adds no piece
      {"srv:abc/x", true, "srv", 0, "x"},
      {"a:b:c/x", false, "", 0, "", transport::FailureKind::kColons},
      {"http:\\\\srv\\dir\\page", true, "srv", 80, "dir/page"},
      // Deliberate fix: an https address is not sent as http, to a server named https.
      {"https://srv/x", false, "", 0, "", transport::FailureKind::kWrongScheme},
      {"HTTPS://srv/x", false, "", 0, "", transport::FailureKind::kWrongScheme},
      {"http:/x", true, "http", 80, "x"},  // the transport refuses a server named http
      {"srv/", true, "srv", 80, ""},
      {"srv:65616/x", true, "srv", 80, "x"},  // low 16 bits
      {"srv:-1/x", true, "srv", 65535, "x"},
      {"srv:\xA3\xB8\xA3\xB1/x", true, "srv", 81, "x"},  // full-width digits
      {"srv: 81/x", true, "srv", 81, "x"},
      // Deliberate fix: the scheme only at the start, backslashes only before "?".
      {"srv/p?next=http://other/q", true, "srv", 80, "p?next=http://other/q"},
      {"srv\\p?a=\\b", true, "srv", 80, "p?a=\\b"},
      {"xhttp://srv/x", true, "xhttp", 80, "/srv/x"},
      // Deliberate fix: no host, nothing to send.
      {"", false, "", 0, "", transport::FailureKind::kNoServer},
      {"/x", false, "", 0, "", transport::FailureKind::kNoServer},
      {"http://", false, "", 0, "", transport::FailureKind::kNoServer},
      {":80/x", false, "", 0, "", transport::FailureKind::kNoServer},
      // 0xB0 0x5C is one character: its 0x5C is not a backslash.
      {"srv/\xB0\x5C", true, "srv", 80, "\xB0\x5C"},
  };
  for (const SplitCase& c : cases) {
    transport::Failure refusal;
    const auto target = SplitHttpAddress(c.address, &refusal);
    Expect(c, target, refusal);
  }
}

TEST(SplitHttpsAddress, Table) {
  const SplitCase cases[] = {
      {"https://srv/x", true, "srv", 443, "x"},
      {"HTTPS://srv", true, "srv", 443, "\\"},
      {"https://srv:8443/x", false, "", 0, "", transport::FailureKind::kPortInHttps},
      {"http://srv/x", false, "", 0, "", transport::FailureKind::kWrongScheme},
      {"Http://srv/x", false, "", 0, "", transport::FailureKind::kWrongScheme},
      {"srv\\a\\b?c=\\d", true, "srv", 443, "a/b?c=\\d"},
      {"srv/q?u=https://o/", true, "srv", 443, "q?u=https://o/"},
      {"https:///x", false, "", 0, "", transport::FailureKind::kNoServer},
  };
  for (const SplitCase& c : cases) {
    transport::Failure refusal;
    const auto target = SplitHttpsAddress(c.address, 443, &refusal);
    Expect(c, target, refusal);
  }
  EXPECT_EQ(SplitHttpsAddress("srv/x", 8443)->port, 8443);
}

TEST(RequestTargetOf, RootAndObjectName) {
  EXPECT_EQ(RequestTargetOf({"s", 80, "\\"}), "/");
  EXPECT_EQ(RequestTargetOf({"s", 80, ""}), "/");
  EXPECT_EQ(RequestTargetOf({"s", 80, "a/b?c"}), "/a/b?c");
  EXPECT_EQ(RequestTargetOf({"s", 80, "/srv/x"}), "//srv/x");
}

}  // namespace
}  // namespace pakeno
