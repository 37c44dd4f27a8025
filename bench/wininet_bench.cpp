// FetchPage and PostHttp over the WinINet transport against a bare WinINet
// read loop (the floor of doing this with WinINet at all, the body held in
// memory as the tool must), interleaved in one run on a loopback server of
// the same process. Wall time, median of the runs with min-max, and the
// median of the paired ratios.
//
//   wine build-win64/bench/wininet_bench.exe [--quick] [--rows]

#include <windows.h>
// After windows.h, whose types it uses.
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/http_session.h"
#include "http/page_fetch.h"
#include "support/scripted_server.h"

namespace {

using pakeno::testing::Reply;
using pakeno::testing::ScriptedServer;

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// WinINet alone: one request, the body appended to a std::string.
bool BareWinInet(int port, const char* verb, const char* data, size_t expected) {
  const InternetHandle internet(InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!internet) return false;
  const InternetHandle connection(InternetConnectA(internet.get(), "127.0.0.1", static_cast<INTERNET_PORT>(port),
                                                   nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return false;
  const std::string object = "/bytes/" + std::to_string(expected);
  const InternetHandle request(
      HttpOpenRequestA(connection.get(), verb, object.c_str(), "HTTP/1.1", nullptr, nullptr,
                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, 0));
  if (!request) return false;
  const DWORD length = data ? static_cast<DWORD>(std::strlen(data)) : 0;
  if (!HttpSendRequestA(request.get(), nullptr, 0, const_cast<char*>(data), length)) return false;
  std::string body;
  body.reserve(expected);  // as the tool does from the Content-Length: the floor, not a growing string
  std::vector<char> piece(64 << 10);
  DWORD n = 0;
  while (InternetReadFile(request.get(), piece.data(), static_cast<DWORD>(piece.size()), &n) && n > 0)
    body.append(piece.data(), n);
  return body.size() == expected;
}

double Seconds(const std::function<bool()>& work) {
  const auto start = std::chrono::steady_clock::now();
  if (!work()) {
    std::fprintf(stderr, "a measured run failed\n");
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Summary(std::vector<double> runs, double* median) {
  std::sort(runs.begin(), runs.end());
  *median = runs[runs.size() / 2];
  char text[64];
  std::snprintf(text, sizeof text, "%.1f ms (%.1f-%.1f)", *median * 1000, runs.front() * 1000, runs.back() * 1000);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false, rows = false;
  for (int i = 1; i < argc; ++i) {
    quick = quick || std::strcmp(argv[i], "--quick") == 0;
    rows = rows || std::strcmp(argv[i], "--rows") == 0;
  }
  std::string payload(64u << 20, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 26);
  ScriptedServer server([&](const std::string& request, Reply& reply) {
    const size_t at = request.find("/bytes/");
    const size_t size = at == std::string::npos ? 0 : std::stoul(request.substr(at + 7));
    reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\nConnection: close\r\n\r\n");
    reply.Send(std::string_view(payload).substr(0, size));
    reply.Close();
  });
  const size_t size = payload.size();
  const std::string url = server.Url("/bytes/" + std::to_string(size));
  const int runs = quick ? 3 : 15;
  std::vector<double> bareGets, barePosts, fetches, posts;
  for (int i = 0; i < runs; ++i) {
    bareGets.push_back(Seconds([&] { return BareWinInet(server.port(), "GET", nullptr, size); }));
    fetches.push_back(Seconds([&] { return pakeno::FetchPage(url).size() == size; }));
    barePosts.push_back(Seconds([&] { return BareWinInet(server.port(), "POST", "a=1", size); }));
    posts.push_back(Seconds([&] {
      pakeno::HttpSession session;
      return session.PostHttp(url, "a=1").size() == size;
    }));
  }
  if (!rows) std::printf("| measure | value (min-max) | reference (min-max) | ratio |\n|---|---|---|---|\n");
  // The ratio is the median of each run's against the reference run just
  // before it: the two share the machine's state of the moment, which on a
  // loaded machine moves either time by more than their difference.
  const auto row = [](const char* name, const std::vector<double>& ours, const std::vector<double>& reference) {
    double mine = 0, floor = 0, ratio = 0;
    const std::string a = Summary(ours, &mine), b = Summary(reference, &floor);
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.size(); ++i) ratios.push_back(ours[i] / reference[i]);
    std::sort(ratios.begin(), ratios.end());
    ratio = ratios[ratios.size() / 2];
    std::printf("| %s 64 MiB over WinINet (Wine), time | %s | bare WinINet read loop %s | %.2fx |\n", name, a.c_str(),
                b.c_str(), ratio);
  };
  row("FetchPage", fetches, bareGets);
  row("PostHttp", posts, barePosts);
  return 0;
}
