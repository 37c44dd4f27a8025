#pragma once

// One HTTP request on a connection: headers, send, the body read piece by
// piece, the raw response header block. It puts on the wire exactly what it
// is told: the request target and header lines go out byte for byte.
//
// A request keeps a reference to its connection and that to its session, so
// they are closed in reverse order by their owners. Every request drives a
// transfer of its own, so a request started from the event pump while
// another waits runs to its end without touching the other.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cookies/cookie_store.h"
#include "transport/failure.h"
#include "transport/session.h"

namespace pakeno::transport {

enum RequestFlags : unsigned {
  kSecure = 1u << 0,  // https, certificates verified against the trust store
};

// What the final response was and how it was reached.
struct ResponseSummary {
  int status = 0;            // 0 when no response came
  std::string reasonPhrase;  // as the server wrote it
  int redirects = 0;         // redirects followed to reach it
  int firstStatus = 0;       // the first hop's status, when it was a redirect
};

// The longest request target sent: a longer one is refused whole rather
// than cut or sent some other way.
constexpr size_t kMaxTargetBytes = 2u << 20;

class Request {
 public:
  // `target` goes on the request line as given ("/p?q=1"), but for a
  // fragment ("#top"), which is the client's alone; `version` is "HTTP/1.1"
  // or "HTTP/1.0".
  Request(const Connection& connection, std::string_view verb, std::string_view target, std::string_view version,
          unsigned flags);
  ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  bool IsOpen() const;

  // Header lines, each ended by CR LF; a line replaces one of the same name,
  // or is added. False when the block holds no header line.
  bool AddHeaders(std::string_view block);

  // Sends the request with `headers` (CR LF lines, added after the others)
  // and the body, and waits until the final response's header block has
  // arrived; pending window events run meanwhile (PumpEvents). Redirects are
  // followed, but never from https to plain http. False when no response came
  // (name not resolved, connection refused, TLS failure, time-out, redirect
  // loop) or when the target or a header line holds CR, LF or NUL, which
  // could smuggle a header or a request: then nothing is sent.
  bool Send(std::string_view headers = {}, std::string_view body = {});

  // Up to `capacity` bytes of the body; 0 only at its end or on failure.
  // While it waits for the server, pending window events run.
  size_t Read(char* buffer, size_t capacity);

  // The final response's status line and header lines, each ended by CR LF,
  // and the empty line that closes the block. False when there is none, or
  // when the block and a terminating NUL need more than `capacity` bytes.
  bool QueryRawHeaders(std::string& block, size_t capacity) const;

  // The response's Content-Length, when it announced one.
  std::optional<uint64_t> ContentLength() const;

  // Where the final response came from, as the cookie store names it.
  CookieOrigin ResponseOrigin() const;

  // The final response, once its header block has arrived.
  ResponseSummary Summary() const;

  // Why the request failed: its class, and in words (the library's error
  // text, or why the tool refused it); none while it has not failed. A body
  // cut short counts, and so does a response the tool will not read: one
  // past its header limits, one with two different lengths, one that folds
  // a header line.
  Failure GetFailure() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  Failure refusal_;  // why the request could not even be opened
};

}  // namespace pakeno::transport
