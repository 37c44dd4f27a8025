// The program's ends, watched from outside: exit codes and the exit routine.

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "encoding/gbk.h"
#include "support/environment.h"
#include "support/scripted_server.h"

namespace pakeno {
namespace {

using pakeno::Gbk;

struct Outcome {
  int exitCode = -1000;
  std::string output;
};

// Runs the probe; its update check asks `updateServer` when one is given.
Outcome RunProbe(const std::string& arguments, const std::string& updateServer = {}) {
#ifdef _WIN32
  // The Win32 probe, beside this program; the exit code as the low byte, as on Linux.
  char self[MAX_PATH];
  const std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
  const std::string command = "\"" + path.substr(0, path.find_last_of('\\') + 1) + "win32_probe.exe\" " + arguments;
  testing::SetEnvironment("PAKENO_PROBE_UPDATE_SERVER", updateServer);
  FILE* pipe = _popen(command.c_str(), "rb");
#else
  const std::string server = updateServer.empty() ? "" : "PAKENO_PROBE_UPDATE_SERVER=" + updateServer + " ";
  const std::string command = "QT_QPA_PLATFORM=offscreen " + server + std::string(PAKENO_PROBE) + " " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
#endif
  Outcome outcome;
  std::array<char, 4096> buffer;
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) outcome.output.append(buffer.data(), n);
#ifdef _WIN32
  outcome.exitCode = _pclose(pipe) & 0xFF;
#else
  const int status = pclose(pipe);
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
#endif
  return outcome;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Exit, ClosingTheWindowEndsWithZeroAfterTheExitRoutineOnce) {
  const Outcome outcome = RunProbe("close");
  EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
  EXPECT_EQ(Count(outcome.output, "exit-cleanup"), 1) << outcome.output;
  EXPECT_EQ(Count(outcome.output, "message-loop-returned"), 0);
}

TEST(Exit, ClosingMidRequestEndsAtOnceAndTheRequestNeverReturns) {
  testing::ScriptedServer server([](const std::string&, testing::Reply& reply) {
    reply.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    for (int i = 0; i < 100 && reply.Send(std::string(10, 'x')); ++i) reply.Sleep(std::chrono::milliseconds(50));
    reply.Close();
  });
  const Outcome outcome = RunProbe("close-mid " + server.Url("/slow"));
  EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
  EXPECT_EQ(Count(outcome.output, "exit-cleanup"), 1) << outcome.output;
  EXPECT_EQ(Count(outcome.output, "request-returned"), 0) << outcome.output;
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(Exit, AWindowThatCannotLoadShowsTheFatalBoxAndEndsWithMinusOne) {
  const Outcome outcome = RunProbe("fatal");
  EXPECT_EQ(outcome.exitCode, 255);  // -1
  EXPECT_NE(outcome.output.find("box title=" + Gbk("错误") +
                                " icon=3 text=" + Gbk("运行时出错!\n\n错误信息：载入启动窗口失败\n") + "|"),
            std::string::npos)
      << outcome.output;
  EXPECT_EQ(Count(outcome.output, "exit-cleanup"), 0);
  EXPECT_EQ(Count(outcome.output, "shown"), 0);
}

TEST(Startup, TheUpdateQuestionComesBeforeTheWindow) {
  testing::ScriptedServer server([](const std::string& request, testing::Reply& reply) {
    reply.Send(testing::Response(request.starts_with("GET /latest.html")
                                     ? "<p>最新版本号：1.0.1</p><p>下载地址：http://dl/x&amp;y</p>"
                                     : "probe"));
    reply.Close();
  });
  const Outcome outcome = RunProbe("close", "http://127.0.0.1:" + std::to_string(server.port()));
  const size_t question = outcome.output.find("box title=" + Gbk("发现新版本"));
  const size_t shown = outcome.output.find("shown");
  ASSERT_NE(question, std::string::npos) << outcome.output;
  ASSERT_NE(shown, std::string::npos) << outcome.output;
  EXPECT_LT(question, shown);
  EXPECT_EQ(outcome.exitCode, 0);
}

TEST(Startup, AProbeNobodyAnswersDelaysTheWindowOnlyUntilTheTimeout) {
  testing::ScriptedServer server(
      [](const std::string&, testing::Reply& reply) { reply.WaitForPeerClose(std::chrono::seconds(20)); });
  // The reference: the same start against a server that answers at once.
  testing::ScriptedServer answering([](const std::string&, testing::Reply& reply) {
    reply.Send(testing::Response("up"));
    reply.Close();
  });
  auto start = std::chrono::steady_clock::now();
  RunProbe("close", "http://127.0.0.1:" + std::to_string(answering.port()));
  const auto reference = std::chrono::steady_clock::now() - start;
  start = std::chrono::steady_clock::now();
  const Outcome outcome = RunProbe("close", "http://127.0.0.1:" + std::to_string(server.port()));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_NE(outcome.output.find("shown"), std::string::npos);
  EXPECT_EQ(outcome.output.find("box"), std::string::npos) << outcome.output;
  // The probe gives up after 5 s; the rest is what any start costs.
  EXPECT_LT(elapsed, std::chrono::seconds(5) + 2 * reference + std::chrono::seconds(2));
  EXPECT_EQ(outcome.exitCode, 0);
}

}  // namespace
}  // namespace pakeno
