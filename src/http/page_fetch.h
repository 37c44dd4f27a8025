#pragma once

// The one-shot page fetch: one request with a session, connection and
// request of its own, closed again before it returns.

#include "base/types.h"
#include "http/request_outcome.h"

namespace pakeno {

struct FetchOptions {
  // An address that names no scheme goes over https rather than http.
  bool httpsWithoutScheme = false;
  // Receives what became of the request, when given.
  RequestOutcome* outcome = nullptr;
};

// Sends `method` ("GET" when empty, or "POST", letter case free) to `url` and
// returns the whole body. Blanks around the address are dropped first; an
// address that begins with "https://" (any case) goes over https, with the
// certificate verified. When given, `requestHeaders` (extra CR LF lines) is
// completed in place to the block that was sent, and `responseHeaders`
// receives the raw response header block (1024 spaces when it does not fit
// into 1024 bytes or nothing came back). A request that cannot be sent at
// all (another method, no session) gives the failure result: 255 zero bytes.
// Cookies from the response's "Set-Cookie: " lines are stored for later
// requests to the host.
Bytes FetchPage(const Text& url, const Text& method = {}, const Text& proxy = {}, Text* requestHeaders = nullptr,
                const Text& postData = {}, Text* responseHeaders = nullptr, const FetchOptions& options = {});

// FetchPage's body up to its first NUL byte, unconverted.
Text FetchPageText(const Text& url, const Text& method = {}, const Text& proxy = {}, Text* requestHeaders = nullptr,
                   const Text& postData = {}, Text* responseHeaders = nullptr, const FetchOptions& options = {});

}  // namespace pakeno
