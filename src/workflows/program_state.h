#pragma once

// The program-wide state, alive from start-up until the program ends.

#include <functional>
#include <memory>

#include "base/types.h"
#include "http/http_session.h"

namespace pakeno {

struct ProgramState {
  Text submitAddress;  // the address box at the last accepted press
  Text submitData;     // the data box at the last accepted press
  Text returnInfo;     // the last response body, as text
  std::unique_ptr<HttpSession> httpSession;
  int runningSubmissions = 0;  // presses of the send button whose request has not ended
};

ProgramState& Program();

// Releases the three texts, then destroys the session object. Runs at most
// once per process, whoever calls it first.
void ExitCleanup();

// Ends the process with `code` after ExitCleanup. Safe to call from inside a
// running request, whose caller is then never returned to. Returns only when
// a test has replaced the termination.
void EndProgram(int code);

// The largest body the return box is given: what the box costs per byte
// (about 4x, the body itself besides) must fit the machine's memory, and
// the box counts its characters in an int. A larger body is not shown.
size_t MaxShownBodyBytes();
size_t SetMaxShownBodyBytesForTesting(size_t bytes);  // 0: as the machine allows; returns the previous

// Test seams: what ends the process, and an observer of ExitCleanup.
void SetTerminateForTesting(std::function<void(int code)> terminate);
void SetExitCleanupObserverForTesting(std::function<void()> observer);

}  // namespace pakeno
