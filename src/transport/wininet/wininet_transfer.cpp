#include "transport/wininet/wininet_transfer.h"

#include <algorithm>
#include <new>
#include <vector>

namespace pakeno::transport {
namespace {

// Above this much body not yet handed over the reading thread waits.
constexpr size_t kHighWater = 1 << 20;
constexpr DWORD kReadPiece = 64 << 10;

}  // namespace

void Transfer::Send(HINTERNET handle) {
  const BOOL ok =
      HttpSendRequestA(handle, nullptr, 0, body.empty() ? nullptr : body.data(), static_cast<DWORD>(body.size()));
  const DWORD failure = ok ? 0 : GetLastError();
  std::lock_guard lock(mutex);
  busy = false;
  sent = true;
  error = ok || failure ? failure : ERROR_INTERNET_INTERNAL_ERROR;
  changed.notify_all();
}

void Transfer::Read(HINTERNET handle) {
  std::vector<char> piece(kReadPiece);
  for (;;) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return cancelled || Unread() < kHighWater; });
      if (cancelled) return;
      busy = true;
    }
    // What comes after the announced length is not the body (WinINet would pass it on).
    const DWORD want = length ? static_cast<DWORD>(std::min<uint64_t>(kReadPiece, *length - received)) : kReadPiece;
    DWORD n = 0;
    const BOOL ok = want == 0 || InternetReadFile(handle, piece.data(), want, &n);
    const DWORD failure = ok ? 0 : GetLastError();
    std::lock_guard lock(mutex);
    busy = false;
    if (!ok || n == 0) {
      error = failure;
      ended = true;
      changed.notify_all();
      return;
    }
    try {
      pending.Append({piece.data(), n});
    } catch (const std::bad_alloc&) {
      lowMemory = ended = true;
      changed.notify_all();
      return;
    }
    received += n;
    changed.notify_all();
  }
}

// Any of these means the hop has its connection (to the server or its proxy).
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  switch (status) {
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_SENDING_REQUEST:
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RECEIVING_RESPONSE:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
      reinterpret_cast<Transfer*>(context)->connected = true;
      break;
    default:
      break;  // the context may be half gone when a handle closes
  }
}

}  // namespace pakeno::transport
