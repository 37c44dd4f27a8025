#pragma once

#include <memory>
#include <optional>

#include "base/types.h"

namespace pakeno {

namespace transport {
class Session;
}

// The tool's one long-lived HTTP session, through which the form POSTs go.
// Every failure is an empty buffer: the caller cannot tell it from an empty
// body, and the status code is never looked at.
class HttpSession {
 public:
  // Opens the transport session (agent "diri.rar", the system's proxy
  // configuration). When that is refused, every POST returns empty.
  HttpSession();
  virtual ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  virtual Bytes PostHttp(const Text& address, const Text& data);
  virtual Bytes PostHttps(const Text& address, const Text& data, std::optional<int> port = {},
                          std::optional<Text> userName = {}, std::optional<Text> password = {},
                          const Text& extraHeaders = {});

  bool IsOpen() const { return session_ != nullptr; }

 private:
  std::unique_ptr<transport::Session> session_;
};

}  // namespace pakeno
