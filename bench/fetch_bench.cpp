// FetchPage and PostHttp against curl on the same loopback URLs, in one run:
// wall time (median), its ratio to curl's, and peak RSS over body size.
// Each fetch runs in a child process so that its peak RSS is its own.
//
//   build/bench/fetch_bench [--quick] [--rows]
// --rows prints markdown table rows (measure | value | reference | ratio) for bench/run_all.sh.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "http/http_session.h"
#include "http/page_fetch.h"
#include "support/scripted_server.h"

namespace {

using pakeno::testing::Reply;
using pakeno::testing::ScriptedServer;

struct Sample {
  double seconds;
  long peakRssKiB;
};

// Runs `work` in a child (or execs `argv` when given) and measures it.
Sample Measure(const std::function<bool()>& work, const std::vector<std::string>& argv = {}) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (!argv.empty()) {
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    _exit(work() ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "a measured run failed (%s)\n", argv.empty() ? "pakeno" : argv[0].c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss};
}

Sample Median(std::vector<Sample> samples) {
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
  return samples[samples.size() / 2];
}

std::string SizeName(size_t size) {
  if (size >= (1u << 20)) return std::to_string(size >> 20) + " MiB";
  return std::to_string(size >> 10) + " KiB";
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false, rows = false;
  for (int i = 1; i < argc; ++i) {
    quick = quick || std::strcmp(argv[i], "--quick") == 0;
    rows = rows || std::strcmp(argv[i], "--rows") == 0;
  }
  // The server lives in a process of its own, so that neither its payload
  // nor its threads count towards the measured processes' peak RSS.
  int portPipe[2];
  if (pipe(portPipe) != 0) return 1;
  const pid_t serverPid = fork();
  if (serverPid == 0) {
    std::string payload(64u << 20, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 26);
    ScriptedServer server([&](const std::string& request, Reply& reply) {
      const size_t at = request.find("/bytes/");
      const size_t size = at == std::string::npos ? 0 : std::stoul(request.substr(at + 7));
      reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\nConnection: close\r\n\r\n");
      reply.Send(std::string_view(payload).substr(0, size));
      reply.Close();
    });
    const int port = server.port();
    if (write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
    pause();
    _exit(0);
  }
  int port = 0;
  if (read(portPipe[0], &port, sizeof port) != sizeof port) return 1;
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  if (!rows) {
    std::printf("%-8s %-10s %10s %10s %12s %10s\n", "body", "operation", "median ms", "vs curl", "peak RSS MiB",
                "RSS/body");
  }
  for (const size_t size : {size_t{1} << 10, size_t{1} << 20, size_t{64} << 20}) {
    const std::string url = base + "/bytes/" + std::to_string(size);
    const int runs = quick ? 3 : (size >= (64u << 20) ? 5 : 15);
    const auto expectSize = [size](const pakeno::Bytes& body) { return body.size() == size; };

    // Interleaved, so that whatever the machine is doing weighs on each alike.
    std::vector<Sample> curlGets, curlPosts, fetches, posts;
    for (int i = 0; i < runs; ++i) {
      curlGets.push_back(Measure({}, {"curl", "-s", "-o", "/dev/null", url}));
      fetches.push_back(Measure([&] { return expectSize(pakeno::FetchPage(url)); }));
      curlPosts.push_back(Measure({}, {"curl", "-s", "-o", "/dev/null", "-d", "a=1", url}));
      posts.push_back(Measure([&] {
        pakeno::HttpSession session;
        return expectSize(session.PostHttp(url, "a=1"));
      }));
    }
    const Sample curlGet = Median(curlGets), fetch = Median(fetches), curlPost = Median(curlPosts),
                 post = Median(posts);

    const auto row = [&](const char* name, const Sample& s, const Sample& reference) {
      const double rssMiB = s.peakRssKiB / 1024.0;
      const double bodyMiB = static_cast<double>(size) / (1 << 20);
      if (rows) {
        if (reference.seconds == s.seconds) return;  // curl's own row is the reference
        std::printf("| %s %s, time | %.1f ms | curl %.1f ms | %.2fx |\n", name, SizeName(size).c_str(),
                    s.seconds * 1000, reference.seconds * 1000, s.seconds / reference.seconds);
        if (size >= (1u << 20)) {
          std::printf("| %s %s, peak RSS | %.1f MiB | body %.1f MiB | %.2fx |\n", name, SizeName(size).c_str(), rssMiB,
                      bodyMiB, rssMiB / bodyMiB);
        }
        return;
      }
      std::printf("%-8s %-10s %10.1f %9.2fx %12.1f %10.2f\n", SizeName(size).c_str(), name, s.seconds * 1000,
                  s.seconds / reference.seconds, rssMiB, rssMiB / bodyMiB);
    };
    row("curl GET", curlGet, curlGet);
    row("FetchPage", fetch, curlGet);
    row("curl POST", curlPost, curlPost);
    row("PostHttp", post, curlPost);
  }
  kill(serverPid, SIGTERM);
  waitpid(serverPid, nullptr, 0);
  return 0;
}
