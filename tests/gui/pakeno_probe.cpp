// The real program, started with test seams, for tests that watch it from
// outside as a child process. Prints what happens on standard output.
//
//   pakeno_probe fatal              the window cannot be loaded
//   pakeno_probe close              closes the window once it is shown
//   pakeno_probe close-mid URL      sends a POST to URL and closes the window mid-body
//   pakeno_probe screenshot FILE    saves what the screen shows once the window is up (PNG)
//   pakeno_probe buttons            shows a real Yes/No box titled "probe-buttons", prints its
//                                   button captions and, once a key answers it, the answer
//
// Its update check asks the server that PAKENO_PROBE_UPDATE_SERVER names
// ("http://127.0.0.1:PORT": /probe, then /latest.html); without it, the
// machine counts as offline.

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/qt_platform.h"
#include "app/startup.h"
#include "desktop/message_box.h"
#include "encoding/gbk.h"
#include "gui/printing_boxes.h"
#include "update/connectivity.h"
#include "workflows/program_state.h"

namespace {}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  const std::string url = argc > 2 ? argv[2] : "";
  pakeno::testing::PrintingBoxes boxes;
  const char* updateServer = std::getenv("PAKENO_PROBE_UPDATE_SERVER");
  // The update check's server is on loopback, which counts for no interface.
  pakeno::SetInterfaceCheckForTesting([online = updateServer != nullptr] { return online; });
  pakeno::SetExitCleanupObserverForTesting([] {
    std::printf("exit-cleanup\n");
    std::fflush(stdout);
  });

  pakeno::StartupOptions options;
  if (updateServer) {
    options.updatePageAddress = std::string(updateServer) + "/latest.html";
    options.probeAddress = std::string(updateServer) + "/probe";
  }
  options.messageBoxes = &boxes;
  options.failWindowLoad = mode == "fatal";
  options.onShown = [&](pakeno::MainWindow& window) {
    std::printf("shown\n");
    std::fflush(stdout);
    if (mode == "close") QTimer::singleShot(0, &window, [&window] { window.close(); });
    if (mode == "close-mid") {
      window.WriteText(pakeno::EditBox::kAddress, url);
      window.WriteText(pakeno::EditBox::kData, "a=1");
      auto* send = window.findChild<QPushButton*>(QString::fromUtf8("按钮提交"));
      // Connected after the window's own handler, so it runs only if that returns.
      QObject::connect(send, &QPushButton::clicked, [] { std::printf("request-returned\n"); });
      QTimer::singleShot(0, send, &QPushButton::click);
      QTimer::singleShot(500, &window, [&window] { window.close(); });
    }
    if (mode == "screenshot") {
      QTimer::singleShot(500, &window, [&window, url] {
        const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(url), "PNG");
        std::printf("screenshot %s\n", saved ? "saved" : "failed");
        std::fflush(stdout);
        window.close();
      });
    }
    if (mode == "buttons") {
      QTimer::singleShot(200, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        std::printf("captions:");
        for (QAbstractButton* button : box ? box->buttons() : QList<QAbstractButton*>{})
          std::printf(" %s", button->text().toUtf8().constData());
        std::printf("\n");
        std::fflush(stdout);
      });
      pakeno::QtMessageBoxes real;
      const auto answer = real.Show(pakeno::Gbk("键盘回答"), "probe-buttons", pakeno::MessageButtons::kYesNo,
                                    pakeno::MessageIcon::kQuestion);
      std::printf("answer=%s\n", answer == pakeno::MessageAnswer::kYes ? "yes" : "no");
      std::fflush(stdout);
      QTimer::singleShot(0, &window, [&window] { window.close(); });
    }
  };
  int code = pakeno::RunProgram(argc, argv, options);
  std::printf("message-loop-returned\n");
  return code;
}
