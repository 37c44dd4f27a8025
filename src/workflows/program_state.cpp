#include "workflows/program_state.h"

#include <algorithm>
#include <utility>

#include "system/memory_hint.h"
#include "system/process.h"

namespace pakeno {
namespace {

bool cleanedUp = false;
std::function<void(int)> terminateForTesting;
std::function<void()> cleanupObserver;

}  // namespace

namespace {
size_t& ShownBodyLimitForTesting() {
  static size_t limit = 0;
  return limit;
}
}  // namespace

size_t MaxShownBodyBytes() {
  if (const size_t testing = ShownBodyLimitForTesting()) return testing;
  constexpr size_t kCeiling = 1u << 30;  // far below the box's 2^31 characters
  const size_t physical = PhysicalMemoryBytes();
  return physical == 0 ? kCeiling : std::min(kCeiling, physical / 6);
}

size_t SetMaxShownBodyBytesForTesting(size_t bytes) { return std::exchange(ShownBodyLimitForTesting(), bytes); }

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
  // No static destructors: this may run deep inside the GUI framework's event
  // processing, with a request's handles still on the stack.
  EndProcessNow(code);
}

void SetTerminateForTesting(std::function<void(int)> terminate) { terminateForTesting = std::move(terminate); }
void SetExitCleanupObserverForTesting(std::function<void()> observer) { cleanupObserver = std::move(observer); }

}  // namespace pakeno
