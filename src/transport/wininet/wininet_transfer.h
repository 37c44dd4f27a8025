#pragma once

// What a WinINet hop shares with its thread: the handles, and what the
// thread hands over. The thread calls WinINet with the request handle it
// was given and never touches the owners here: they are closed from the
// calling thread, which is how WinINet ends a call that blocks.

#include <windows.h>
// After windows.h, whose types it uses.
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "transport/byte_queue.h"

namespace pakeno::transport {

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

struct Transfer {
  // Set by WinINet's status callback (OnStatus), which is handed this object
  // as its context; declared before the handles so it outlives their closing.
  std::atomic<bool> connected{false};
  InternetHandle internet, connection, request;
  std::string body;

  std::mutex mutex;
  std::condition_variable changed;
  bool busy = false;  // the thread is inside a WinINet call, which may block for long
  bool sent = false;  // HttpSendRequestA returned
  bool cancelled = false;
  bool ended = false;  // the body's end was read, or reading failed
  DWORD error = 0;     // WinINet's, when a call failed
  ByteQueue pending;   // body bytes read, not yet handed over
  uint64_t received = 0;
  std::optional<uint64_t> length;  // where the body ends, when the response says so
  bool lowMemory = false;

  size_t Unread() const { return pending.Size(); }

  // On the thread: sends the head and body, then reads the body until it
  // ends, fails or is given up.
  void Send(HINTERNET handle);
  void Read(HINTERNET handle);
};

// WinINet's status callback for handles whose context is a Transfer.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD);

}  // namespace pakeno::transport
