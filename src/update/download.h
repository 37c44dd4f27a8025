#pragma once

#include "base/types.h"

namespace pakeno {

// No announcement page comes near this; the page travels over plain http, and
// whoever sits on the path must not make start-up read gigabytes.
inline constexpr size_t kMaxUpdatePageBytes = 4u << 20;

// A plain GET of `address` (HTTP/1.0, "Accept: */*", an agent of its own,
// user name and password from the address, https verified), whatever the
// status: the body as far as it was read within fifteen seconds, redirects
// included, and at most its first 4 MiB; empty when the request could not be made.
Bytes DownloadBytes(const Text& address);

}  // namespace pakeno
