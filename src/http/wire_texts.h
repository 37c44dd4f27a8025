#pragma once

// The fixed texts the tool puts on the wire, each written once.

#include <string_view>

namespace pakeno {

// The agent of the session object, through which the form POSTs go.
inline constexpr std::string_view kSessionAgent = "diri.rar";
// The agent of the page fetch and of the update page's download.
inline constexpr std::string_view kBrowserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// The agent of the update check's connectivity probe.
inline constexpr std::string_view kProbeAgent = "test";
// The header line of a form POST.
inline constexpr std::string_view kFormContentTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";

}  // namespace pakeno
