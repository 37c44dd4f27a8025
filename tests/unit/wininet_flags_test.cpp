// What WinINet is asked for on Windows, where Wine cannot show it: no answer
// from the per-user cache, none written to it, nothing done behind the
// tool's back.

#include <windows.h>
// After windows.h, whose types it uses.
#include <wininet.h>

#include <gtest/gtest.h>

#include "transport/wininet/request_flags.h"

namespace pakeno::transport {
namespace {

TEST(WinInetFlags, EveryAnswerComesFromTheServerNow) {
  for (const bool https : {false, true}) {
    for (const bool proxyLogin : {false, true}) {
      const DWORD flags = WinInetRequestFlags(https, proxyLogin);
      for (const DWORD wanted : std::initializer_list<DWORD>{INTERNET_FLAG_RELOAD, INTERNET_FLAG_NO_CACHE_WRITE,
                                                             INTERNET_FLAG_NO_AUTO_REDIRECT, INTERNET_FLAG_NO_COOKIES,
                                                             INTERNET_FLAG_NO_UI}) {
        EXPECT_EQ(flags & wanted, wanted) << std::hex << wanted << (https ? " https" : " http");
      }
      EXPECT_EQ((flags & INTERNET_FLAG_SECURE) != 0, https);
      // Challenges answered behind the tool's back only with a proxy's credentials to give.
      EXPECT_EQ((flags & INTERNET_FLAG_NO_AUTH) == 0, proxyLogin);
      // Nothing that relaxes a certificate's check.
      EXPECT_EQ(flags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID), 0u);
    }
  }
}

}  // namespace
}  // namespace pakeno::transport
