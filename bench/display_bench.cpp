// Showing big bodies in the return box, and the window's event latency while
// a big body arrives slowly. References from the same run: a QPlainTextEdit
// given the same amount of text in short lines (its fast case), and the
// timer's own jitter while the window is idle.
//
//   QT_QPA_PLATFORM=offscreen build/bench/display_bench
// Prints markdown table rows: measure | value | reference | ratio.

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <cstdio>
#include <string>

#include "app/long_text_edit.h"
#include "app/main_window.h"
#include "base/event_pump.h"
#include "http/http_session.h"
#include "http/page_fetch.h"
#include "support/process_memory.h"
#include "support/scripted_server.h"
#include "support/tick_gap.h"

namespace {

using pakeno::Text;

Text Body(size_t size, bool oneLine) {
  Text text(size, 'x');
  for (size_t i = 0; i < size; i += 7) text[i] = ' ';
  if (!oneLine)
    for (size_t i = 79; i < size; i += 80) text[i] = '\n';
  return text;
}

template <typename Show>
double Milliseconds(Show show) {
  QElapsedTimer timer;
  timer.start();
  show();
  QApplication::processEvents();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void Row(const char* measure, double value, double reference, const char* unit) {
  std::printf("| %s | %.1f %s | %.1f %s | %.2fx |\n", measure, value, unit, reference, unit, value / reference);
}

}  // namespace

// Peak memory of showing a body that has just arrived, over the body's size:
// the body itself, the return box and whatever the way between them holds.
// Run in a process of its own, so nothing earlier is counted.
int MemoryRow(size_t mib, bool oneLine) {
  pakeno::LongTextEdit box;
  box.resize(287, 152);
  box.show();
  QApplication::processEvents();
  pakeno::testing::RestartPeak();
  const long before = pakeno::testing::StatusKiB("VmRSS:");
  pakeno::Text returnInfo = Body(mib << 20, oneLine);  // the body as the workflow holds it
  box.SetGbkText(returnInfo);
  QApplication::processEvents();
  const double ratio =
      static_cast<double>(pakeno::testing::StatusKiB("VmHWM:") - before) * 1024 / static_cast<double>(mib << 20);
  std::printf("| return box memory, %zu MiB %s (peak over body) | %.2fx | body 1.00x | %.2fx |\n", mib,
              oneLine ? "on one line" : "in lines of 80", ratio, ratio);
  return 0;
}

// Peak memory of pasting a 16 MiB line into the window's address box, over
// the line's size, the clipboard's copy already counted out. A process of its own.
int AddressPasteRow() {
  pakeno::MainWindow window({});
  window.show();
  auto* address = window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框提交地址"));
  const size_t size = 16u << 20;
  QGuiApplication::clipboard()->setText(QString(static_cast<qsizetype>(size), u'a'));
  QApplication::processEvents();
  pakeno::testing::RestartPeak();
  const long before = pakeno::testing::StatusKiB("VmRSS:");
  const double ms = Milliseconds([&] { address->paste(); });
  const double ratio =
      static_cast<double>(pakeno::testing::StatusKiB("VmHWM:") - before) * 1024 / static_cast<double>(size);
  std::printf(
      "| address box, paste 16 MiB on one line (peak over the line) | %.2fx in %.0f ms | line 1.00x | %.2fx |\n", ratio,
      ms, ratio);
  return 0;
}

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "--address-paste") return AddressPasteRow();
  if (argc > 1 && std::string(argv[1]) == "--memory")
    return MemoryRow(64, argc > 2 && std::string(argv[2]) == "one-line");
  pakeno::LongTextEdit box;
  QPlainTextEdit reference;
  for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&box), &reference}) {
    edit->resize(287, 152);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->show();
  }
  QApplication::processEvents();

  for (size_t mib : {16, 64}) {
    const Text lines = Body(mib << 20, false);
    const QString unicode = QString::fromLatin1(lines.data(), static_cast<qsizetype>(lines.size()));
    const double referenceMs = Milliseconds([&] { reference.setPlainText(unicode); });
    reference.clear();
    for (bool oneLine : {true, false}) {
      const Text body = oneLine ? Body(mib << 20, true) : lines;
      const double ms = Milliseconds([&] { box.SetGbkText(body); });
      const std::string name = "display " + std::to_string(mib) + " MiB, " + (oneLine ? "one line" : "lines of 80");
      Row(name.c_str(), ms, referenceMs, "ms");
      box.clear();
    }
    // CR, CR LF and LF in turn, each break another kind than the one before,
    // against the box's own lines of 80.
    Text alternating;
    while (alternating.size() < (mib << 20)) alternating += "\r\r\n\n";
    const double linesMs = Milliseconds([&] { box.SetGbkText(lines); });
    box.clear();
    const double alternatingMs = Milliseconds([&] { box.SetGbkText(alternating); });
    box.clear();
    const std::string name = "display " + std::to_string(mib) + " MiB, CR / CR LF / LF in turn (vs lines of 80)";
    Row(name.c_str(), alternatingMs, linesMs, "ms");
  }

  // Pasting one long line, against writing the same text into the box.
  for (size_t mib : {1, 16}) {
    const Text line = Body(mib << 20, true);
    const double writeMs = Milliseconds([&] { box.SetGbkText(line); });
    box.SetGbkText({});
    QGuiApplication::clipboard()->setText(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
    const double pasteMs = Milliseconds([&] { box.paste(); });
    const std::string name = "paste " + std::to_string(mib) + " MiB on one line (vs writing it)";
    Row(name.c_str(), pasteMs, writeMs, "ms");
    box.SetGbkText({});
  }

  pakeno::testing::ScriptedServer server([](const std::string&, pakeno::testing::Reply& reply) {
    const size_t size = 64u << 20;
    reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
    const std::string piece(2048, 'p');
    for (size_t sent = 0; sent < size; sent += piece.size()) {
      if (!reply.Send(piece)) break;
      if (sent % (4u << 20) == 0) reply.Sleep(std::chrono::milliseconds(100));
    }
    reply.Close();
  });
  pakeno::SetEventPump([] { QCoreApplication::processEvents(); });
  const qint64 idle = pakeno::testing::WorstTickGap([] {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  });
  const qint64 busy = pakeno::testing::WorstTickGap([&] { pakeno::FetchPage(server.Url("/slow")); });
  Row("event latency, 64 MiB in 2 KiB pieces (worst tick gap)", static_cast<double>(busy),
      static_cast<double>(std::max<qint64>(idle, 1)), "ms");

  // A back-end that thinks for 3 s before the first byte.
  pakeno::testing::ScriptedServer thinker([](const std::string&, pakeno::testing::Reply& reply) {
    reply.Sleep(std::chrono::seconds(3));
    reply.Send(pakeno::testing::Response("done"));
    reply.Close();
  });
  pakeno::HttpSession session;
  const qint64 waiting = pakeno::testing::WorstTickGap([&] { session.PostHttp(thinker.Url("/think"), "a=1"); });
  Row("event latency, 3 s before the first byte (worst tick gap)", static_cast<double>(waiting),
      static_cast<double>(std::max<qint64>(idle, 1)), "ms");
  return 0;
}
