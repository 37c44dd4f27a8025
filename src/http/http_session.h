#pragma once

#include <memory>
#include <optional>

#include "base/types.h"
#include "http/request_outcome.h"

namespace pakeno {

namespace transport {
class Session;
}
struct PostRequest;

// The tool's one long-lived HTTP session, through which the form POSTs go.
// Every failure is an empty buffer, as is an empty body, whatever the
// status; what became of the last POST is told apart in LastOutcome().
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
  // The POST that ended last: its response, or why it failed.
  const RequestOutcome& LastOutcome() const { return lastOutcome_; }

 private:
  Bytes Post(const PostRequest& post, const Text& address);
  Bytes Refuse(const Text& address, transport::Failure why);

  std::unique_ptr<transport::Session> session_;
  RequestOutcome lastOutcome_;
};

}  // namespace pakeno
