#pragma once

#include "desktop/message_box.h"
#include "workflows/program_state.h"
#include "workflows/window_controls.h"

namespace pakeno {

// The send button: validates the boxes, stores the texts, sends the POST
// (http or https, through the session object) or the GET (through the page
// fetch) and shows the body in the return box. A failed request shows no
// message; the return box just becomes empty, and the line under the buttons
// tells the answer's status, size and time, or why it failed. A press made while
// kMaxRunningSubmissions are running does nothing at all.
// Each press made during a request runs a whole submission nested inside it,
// on the one stack; past this many the stack would run out.
inline constexpr int kMaxRunningSubmissions = 64;

void PressSend(WindowControls& window, MessageBoxes& boxes, ProgramState& state);

}  // namespace pakeno
