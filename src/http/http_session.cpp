#include "http/http_session.h"

#include "http/address_split.h"
#include "http/body_reader.h"
#include "http/failure_log.h"
#include "http/wire_texts.h"
#include "platform/request.h"

namespace pakeno {
namespace {

struct PostRequest {
  const PostTarget& target;
  const Text& data;
  unsigned flags;
  std::optional<Text> userName, password;
  Text headerBlock;
};

Bytes Post(const transport::Session& session, const PostRequest& post, const Text& address) {
  transport::Connection connection(session, post.target.server, post.target.port, post.userName, post.password);
  transport::Request request(connection, "POST", RequestTargetOf(post.target), "HTTP/1.1", post.flags);
  Bytes body;
  std::string why;
  if (request.IsOpen() && request.AddHeaders(post.headerBlock) && request.Send({}, post.data)) {
    body = ReadWholeBody(request, PumpAt::kAfterEachRead, why);
  } else {
    why = request.Failure();
  }
  if (!why.empty()) LogFailedRequest("POST", address, why);
  return body;
}

Bytes Refuse(const Text& address, std::string_view why) {
  LogFailedRequest("POST", address, why);
  return {};
}

}  // namespace

HttpSession::HttpSession() {
  auto session = std::make_unique<transport::Session>(kSessionAgent, transport::Access::kSystem);
  if (session->IsOpen()) session_ = std::move(session);
}

HttpSession::~HttpSession() = default;

Bytes HttpSession::PostHttp(const Text& address, const Text& data) {
  const std::optional<PostTarget> target = SplitHttpAddress(address);
  if (!target) return Refuse(address, "address refused: no server name, or more than one \":\" after it");
  if (!session_) return Refuse(address, "no HTTP session: it could not be opened at start-up");
  return Post(*session_, {*target, data, 0u, std::nullopt, std::nullopt, Text(kFormContentTypeLine)}, address);
}

Bytes HttpSession::PostHttps(const Text& address, const Text& data, std::optional<int> port,
                             std::optional<Text> userName, std::optional<Text> password, const Text& extraHeaders) {
  const std::optional<PostTarget> target = SplitHttpsAddress(address, port.value_or(443));
  if (!target)
    return Refuse(address, "address refused: no server name, or a \":\" in it (https takes no port from the address)");
  if (!session_) return Refuse(address, "no HTTP session: it could not be opened at start-up");
  const Text block = extraHeaders.empty() ? Text(kFormContentTypeLine) : extraHeaders + "\r\n";
  return Post(*session_, {*target, data, transport::kSecure, std::move(userName), std::move(password), block}, address);
}

}  // namespace pakeno
