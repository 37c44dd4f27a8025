#pragma once

#include <functional>

#include "base/types.h"
#include "platform/browser.h"
#include "platform/message_box.h"
#include "update/page_parsing.h"

namespace pakeno {

struct UpdateServices {
  MessageBoxes& boxes;
  Browser& browser;
  std::function<bool()> isInternetConnected;
  std::function<Bytes(const Text&)> download;
};

// Probes the network, reads the page at `pageAddress` (UTF-8), and when it
// announces a version above `ownVersion` asks whether to upgrade; on Yes the
// browser opens the download address. Returns that address whether or not
// the user chose to upgrade, else empty. Without a network connection it
// says so only when `reportFailure` is true.
Text CheckForUpdate(const Text& pageAddress, int ownVersion, bool reportFailure, UpdateServices& services);

}  // namespace pakeno
