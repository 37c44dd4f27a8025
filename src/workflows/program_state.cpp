#include "workflows/program_state.h"

#include <cstdio>
#include <cstdlib>

namespace pakeno {
namespace {

bool cleanedUp = false;
std::function<void(int)> terminateForTesting;
std::function<void()> cleanupObserver;

}  // namespace

ProgramState& Program() {
  static ProgramState state;
  return state;
}

void ExitCleanup() {
  if (cleanedUp) return;
  cleanedUp = true;
  ProgramState& state = Program();
  Text().swap(state.submitAddress);
  Text().swap(state.submitData);
  Text().swap(state.returnInfo);
  state.httpSession.reset();
  if (cleanupObserver) cleanupObserver();
}

void EndProgram(int code) {
  ExitCleanup();
  if (terminateForTesting) {
    terminateForTesting(code);
    return;
  }
  std::fflush(nullptr);
  // No static destructors: this may run deep inside the GUI framework's event
  // processing, with a request's handles still on the stack.
  std::_Exit(code);
}

void SetTerminateForTesting(std::function<void(int)> terminate) { terminateForTesting = std::move(terminate); }
void SetExitCleanupObserverForTesting(std::function<void()> observer) { cleanupObserver = std::move(observer); }

}  // namespace pakeno
