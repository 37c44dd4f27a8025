// The real program for the end-to-end run: its update check asks the server
// that PAKENO_UPDATE_SERVER names (the nginx peer: /update/newer.html, and /
// as the probe), and a network interface counts as up, since a test machine
// may have none but loopback. The same source for the Qt and the Win32 build.

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include "app_win32/startup.h"
#else
#include "app/startup.h"
#endif
#include "update/connectivity.h"

int main(int argc, char** argv) {
  const char* server = std::getenv("PAKENO_UPDATE_SERVER");
  pakeno::StartupOptions options;
  options.updatePageAddress = std::string(server ? server : "") + "/update/newer.html";
  options.probeAddress = std::string(server ? server : "") + "/";
  pakeno::SetInterfaceCheckForTesting([] { return true; });
  return pakeno::RunProgram(argc, argv, options);
}
