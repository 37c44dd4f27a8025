#include "http/http_session.h"

#include "http/address_split.h"
#include "http/body_reader.h"
#include "platform/transport.h"

namespace pakeno {
namespace {

constexpr std::string_view kContentTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";

struct PostRequest {
  const PostTarget& target;
  const Text& data;
  unsigned flags;
  std::optional<Text> userName, password;
  Text headerBlock;
};

Bytes Post(const transport::Session& session, const PostRequest& post) {
  transport::Connection connection(session, post.target.server, post.target.port, post.userName, post.password);
  if (!connection.IsOpen()) return {};
  transport::Request request(connection, "POST", RequestTargetOf(post.target), "HTTP/1.1", post.flags);
  if (!request.IsOpen()) return {};
  if (!request.AddHeaders(post.headerBlock)) return {};
  if (!request.Send({}, post.data)) return {};

  return ReadWholeBody(request, PumpAt::kAfterEachRead);
}

}  // namespace

HttpSession::HttpSession() {
  auto session = std::make_unique<transport::Session>("diri.rar", transport::Access::kSystem);
  if (session->IsOpen()) session_ = std::move(session);
}

HttpSession::~HttpSession() = default;

Bytes HttpSession::PostHttp(const Text& address, const Text& data) {
  const std::optional<PostTarget> target = SplitHttpAddress(address);
  if (!target || !session_) return {};
  return Post(*session_, {*target, data, 0u, std::nullopt, std::nullopt, Text(kContentTypeLine)});
}

Bytes HttpSession::PostHttps(const Text& address, const Text& data, std::optional<int> port,
                             std::optional<Text> userName, std::optional<Text> password, const Text& extraHeaders) {
  const std::optional<PostTarget> target = SplitHttpsAddress(address, port.value_or(443));
  if (!target || !session_) return {};
  const Text block = extraHeaders.empty() ? Text(kContentTypeLine) : extraHeaders + "\r\n";
  return Post(*session_, {*target, data, transport::kSecure, std::move(userName), std::move(password), block});
}

}  // namespace pakeno
