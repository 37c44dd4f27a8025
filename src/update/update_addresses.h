#pragma once

#include "platform/types.h"

namespace pakeno {

inline constexpr int OwnVersionNumber = 100;  // 1.0.0 without its dots

// Compiled into each executable from the build settings
// PAKENO_UPDATE_PAGE_ADDRESS and PAKENO_PROBE_ADDRESS.
const char* UpdatePageAddress();
const char* ProbeAddress();

}  // namespace pakeno
