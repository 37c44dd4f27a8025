// The cookie store under load: one GET whose answer sets 35 cookies, with
// the store full (3000 cookies of other sites) against the same GET into an
// empty store, in one run. Median of interleaved runs.
//
//   build/bench/cookie_bench [--rows]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "cookies/cookie_store.h"
#include "http/page_fetch.h"
#include "support/scripted_server.h"

namespace {

using pakeno::testing::Reply;
using pakeno::testing::ScriptedServer;
using pakeno::transport::CookieJar;
using pakeno::transport::ProcessCookies;

void Fill() {
  ProcessCookies().Clear();
  const std::time_t now = std::time(nullptr);
  for (size_t i = 0; ProcessCookies().Count() < CookieJar::kMaxCookies; ++i) {
    pakeno::transport::CookieOrigin from;
    from.host = "s" + std::to_string(i / CookieJar::kMaxPerSite) + ".test";
    ProcessCookies().Store(from, "k" + std::to_string(i) + "=v; path=/", now);
  }
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool rows = argc > 1 && std::strcmp(argv[1], "--rows") == 0;
  std::string cookies;
  for (int i = 0; i < 35; ++i)
    cookies += "Set-Cookie: c" + std::to_string(i) + "=" + std::to_string(i) + "; path=/\r\n";
  ScriptedServer server([&](const std::string&, Reply& reply) {
    reply.Send(pakeno::testing::Response("ok", "200 OK", cookies));
    reply.Close();
  });
  std::vector<double> full, empty;
  for (int run = 0; run < 31; ++run) {
    for (const bool filled : {true, false}) {
      filled ? Fill() : ProcessCookies().Clear();
      const auto start = std::chrono::steady_clock::now();
      if (pakeno::FetchPage(server.Url("/set")) != "ok") return 1;
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      (filled ? full : empty).push_back(ms);
    }
  }
  const double f = Median(full), e = Median(empty);
  if (rows) {
    std::printf("| cookies: a GET setting 35, 3000 stored | %.2f ms | empty store %.2f ms | %.2fx |\n", f, e, f / e);
  } else {
    std::printf("a GET setting 35 cookies: %.2f ms with 3000 stored, %.2f ms into an empty store (%.2fx)\n", f, e,
                f / e);
  }
  return 0;
}
