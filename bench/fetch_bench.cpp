// FetchPage and PostHttp on loopback URLs, in one run, against three
// references: a bare libcurl transfer into a std::string in a process like
// ours (the floor of doing this with libcurl at all, the body held in memory
// as the tool must), curl writing the body to a file on tmpfs, and curl
// throwing it away (/dev/null, kept for continuity). Wall time (median of
// interleaved runs, with min-max), and peak RSS over body size. Each fetch
// runs in a child process so that its peak RSS is its own.
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

#include <curl/curl.h>

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

struct Summary {
  Sample median;
  double minSeconds, maxSeconds;
};

Summary Summarise(std::vector<Sample> samples) {
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
  return {samples[samples.size() / 2], samples.front().seconds, samples.back().seconds};
}

// The floor: libcurl alone, the body appended to a std::string.
bool BareLibcurl(const std::string& url, const char* postData, size_t expected) {
  std::string body;
  CURL* easy = curl_easy_init();
  if (!easy) return false;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  if (postData) curl_easy_setopt(easy, CURLOPT_POSTFIELDS, postData);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(
      easy, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
      });
  const bool ok = curl_easy_perform(easy) == CURLE_OK && body.size() == expected;
  curl_easy_cleanup(easy);
  return ok;
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

  const std::string tmpfsFile = "/dev/shm/pakeno-fetch-bench-" + std::to_string(getpid());
  if (!rows) std::printf("| measure | value (min-max) | reference (min-max) | ratio |\n|---|---|---|---|\n");
  for (const size_t size : {size_t{1} << 10, size_t{1} << 20, size_t{64} << 20}) {
    const std::string url = base + "/bytes/" + std::to_string(size);
    const int runs = quick ? 3 : (size >= (64u << 20) ? 7 : 15);
    const auto expectSize = [size](const pakeno::Bytes& body) { return body.size() == size; };

    // Interleaved, so that whatever the machine is doing weighs on each alike.
    std::vector<Sample> floorGets, floorPosts, tmpfsGets, tmpfsPosts, nullGets, nullPosts, fetches, posts;
    for (int i = 0; i < runs; ++i) {
      floorGets.push_back(Measure([&] { return BareLibcurl(url, nullptr, size); }));
      fetches.push_back(Measure([&] { return expectSize(pakeno::FetchPage(url)); }));
      tmpfsGets.push_back(Measure({}, {"curl", "-s", "-o", tmpfsFile, url}));
      nullGets.push_back(Measure({}, {"curl", "-s", "-o", "/dev/null", url}));
      floorPosts.push_back(Measure([&] { return BareLibcurl(url, "a=1", size); }));
      posts.push_back(Measure([&] {
        pakeno::HttpSession session;
        return expectSize(session.PostHttp(url, "a=1"));
      }));
      tmpfsPosts.push_back(Measure({}, {"curl", "-s", "-o", tmpfsFile, "-d", "a=1", url}));
      nullPosts.push_back(Measure({}, {"curl", "-s", "-o", "/dev/null", "-d", "a=1", url}));
    }
    std::remove(tmpfsFile.c_str());

    const auto ms = [](const Summary& s) {
      char text[64];
      std::snprintf(text, sizeof text, "%.1f ms (%.1f-%.1f)", s.median.seconds * 1000, s.minSeconds * 1000,
                    s.maxSeconds * 1000);
      return std::string(text);
    };
    const auto row = [&](const char* name, const std::vector<Sample>& ours, const char* referenceName,
                         const std::vector<Sample>& reference, bool withRss) {
      const Summary s = Summarise(ours), r = Summarise(reference);
      std::printf("| %s %s, time | %s | %s %s | %.2fx |\n", name, SizeName(size).c_str(), ms(s).c_str(), referenceName,
                  ms(r).c_str(), s.median.seconds / r.median.seconds);
      if (withRss && size >= (1u << 20)) {
        const double rssMiB = s.median.peakRssKiB / 1024.0, bodyMiB = static_cast<double>(size) / (1 << 20);
        std::printf("| %s %s, peak RSS | %.1f MiB | body %.1f MiB | %.2fx |\n", name, SizeName(size).c_str(), rssMiB,
                    bodyMiB, rssMiB / bodyMiB);
      }
    };
    row("FetchPage", fetches, "libcurl into memory", floorGets, true);
    row("FetchPage", fetches, "curl -o tmpfs", tmpfsGets, false);
    row("FetchPage", fetches, "curl -o /dev/null", nullGets, false);
    row("PostHttp", posts, "libcurl into memory", floorPosts, true);
    row("PostHttp", posts, "curl -o tmpfs", tmpfsPosts, false);
    row("PostHttp", posts, "curl -o /dev/null", nullPosts, false);
  }
  kill(serverPid, SIGTERM);
  waitpid(serverPid, nullptr, 0);
  return 0;
}
