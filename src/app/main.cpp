#include "app/startup.h"

int main(int argc, char** argv) {
  pakeno::StartupOptions options;
  options.updatePageAddress = PAKENO_UPDATE_PAGE_ADDRESS;
  options.probeAddress = PAKENO_PROBE_ADDRESS;
  return pakeno::RunProgram(argc, argv, options);
}
