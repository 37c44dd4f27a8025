#include "app_win32/startup.h"
#include "app_win32/win32_platform.h"

int main(int argc, char** argv) {
  pakeno::win32::AttachStandardError();
  pakeno::StartupOptions options;
  options.updatePageAddress = PAKENO_UPDATE_PAGE_ADDRESS;
  options.probeAddress = PAKENO_PROBE_ADDRESS;
  return pakeno::RunProgram(argc, argv, options);
}
