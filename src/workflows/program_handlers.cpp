#include "workflows/program_handlers.h"

#include "base/version.h"
#include "update/connectivity.h"
#include "update/download.h"
#include "update/update_check.h"
#include "workflows/clipboard_commands.h"
#include "workflows/program_state.h"
#include "workflows/submission.h"

namespace pakeno {

WindowHandlers ProgramHandlers(ProgramServices& services) {
  WindowHandlers handlers;
  handlers.created = [&services] {
    UpdateServices updates{services.boxes, services.browser,
                           [&services] { return IsInternetConnected(services.probeAddress); }, DownloadBytes};
    CheckForUpdate(services.updatePageAddress, kVersion, false, updates);
  };
  handlers.destroyed = [] { EndProgram(0); };
  handlers.send = [&services] { PressSend(*services.window, services.boxes, Program()); };
  handlers.copy = [&services](EditBox box) { PressCopy(*services.window, box, services.clipboard, services.boxes); };
  handlers.clear = [&services] { PressClear(*services.window); };
  return handlers;
}

}  // namespace pakeno
