#include "http/http_session.h"

#include "http/address_split.h"
#include "http/body_reader.h"
#include "http/failure_log.h"
#include "http/url.h"
#include "http/wire_texts.h"
#include "transport/request.h"

namespace pakeno {
namespace {

using transport::Failure;
using transport::FailureKind;

const Failure kNoSession{FailureKind::kNoSession, "no HTTP session: it could not be opened at start-up"};

}  // namespace

struct PostRequest {
  const PostTarget& target;
  const Text& data;
  unsigned flags;
  std::optional<Text> userName, password;
  Text headerBlock;
};

Bytes HttpSession::Post(const PostRequest& post, const Text& address) {
  transport::Connection connection(*session_, post.target.server, post.target.port, post.userName, post.password);
  transport::Request request(connection, "POST", RequestTargetOf(post.target), "HTTP/1.1", post.flags);
  RequestOutcome outcome;
  Bytes body;
  if (request.IsOpen() && request.AddHeaders(post.headerBlock) && request.Send({}, post.data)) {
    body = ReadWholeBody(request, PumpAt::kAfterEachRead, outcome.failure);
  } else {
    outcome.failure = request.GetFailure();
  }
  if (outcome.failure) LogFailedRequest("POST", address, outcome.failure.reason);
  outcome.response = request.Summary();
  outcome.bodyBytes = body.size();
  lastOutcome_ = std::move(outcome);
  return body;
}

Bytes HttpSession::Refuse(const Text& address, Failure why) {
  LogFailedRequest("POST", address, why.reason);
  lastOutcome_ = {};
  lastOutcome_.failure = std::move(why);
  return {};
}

HttpSession::HttpSession() {
  auto session = std::make_unique<transport::Session>(kSessionAgent, transport::Access::kSystem);
  if (session->IsOpen()) session_ = std::move(session);
}

HttpSession::~HttpSession() = default;

Bytes HttpSession::PostHttp(const Text& address, const Text& data) {
  Failure refusal;
  const std::optional<PostTarget> target = SplitHttpAddress(TrimAddress(address), &refusal);
  if (!target) return Refuse(address, std::move(refusal));
  if (!session_) return Refuse(address, kNoSession);
  return Post({*target, data, 0u, std::nullopt, std::nullopt, Text(kFormContentTypeLine)}, address);
}

Bytes HttpSession::PostHttps(const Text& address, const Text& data, std::optional<int> port,
                             std::optional<Text> userName, std::optional<Text> password, const Text& extraHeaders) {
  Failure refusal;
  const std::optional<PostTarget> target = SplitHttpsAddress(TrimAddress(address), port.value_or(443), &refusal);
  if (!target) return Refuse(address, std::move(refusal));
  if (!session_) return Refuse(address, kNoSession);
  const Text block = extraHeaders.empty() ? Text(kFormContentTypeLine) : extraHeaders + "\r\n";
  return Post({*target, data, transport::kSecure, std::move(userName), std::move(password), block}, address);
}

}  // namespace pakeno
