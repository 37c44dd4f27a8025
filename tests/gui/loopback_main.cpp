// The real program for the end-to-end run: built with an update page and a
// probe on the loopback peers, and told that a network interface is up,
// since a test machine may have none but loopback.

#include "app/startup.h"
#include "update/connectivity.h"

int main(int argc, char** argv) {
  pakeno::SetInterfaceCheckForTesting([] { return true; });
  return pakeno::RunProgram(argc, argv);
}
