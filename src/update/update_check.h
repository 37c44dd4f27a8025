#pragma once

#include <functional>
#include <string_view>

#include "base/types.h"
#include "desktop/browser.h"
#include "desktop/message_box.h"
#include "update/page_parsing.h"

namespace pakeno {

struct UpdateServices {
  MessageBoxes& boxes;
  Browser& browser;
  std::function<bool()> isInternetConnected;
  std::function<Bytes(const Text&)> download;
};

// Probes the network, reads the page at `pageAddress` (UTF-8), and when it
// announces a version above `ownVersion` ("1.0.0") with an address the
// browser may open, asks whether to upgrade; on Yes the browser opens it.
// The address is GB18030, as the page's text is. Returns that address
// whether or not the user chose to upgrade, else empty; a page that offers
// nothing for another reason than its version leaves a failure line saying
// why. Without a network connection it says so only when `reportFailure`.
Text CheckForUpdate(const Text& pageAddress, std::string_view ownVersion, bool reportFailure, UpdateServices& services);

}  // namespace pakeno
