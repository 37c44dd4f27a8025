#include "http/address_split.h"

#include "http/url.h"
#include "text/text.h"

namespace pakeno {
namespace {

using transport::Failure;
using transport::FailureKind;

std::optional<PostTarget> Refused(Failure* refusal, FailureKind kind, std::string reason) {
  if (refusal) *refusal = {kind, std::move(reason)};
  return std::nullopt;
}

// Drops `scheme` from the start of the address, ignoring letter case.
Text DropScheme(const Text& address, std::string_view scheme) {
  if (TextFind(address.substr(0, scheme.size()), scheme, 1, true) == 1) return address.substr(scheme.size());
  return address;
}

// Splits at the first "/": the host part before it, the object name after it.
void SplitAtSlash(const Text& address, Text& hostPart, Text& objectName) {
  const int slash = TextFind(address, "/");
  if (slash == -1) {
    hostPart = address;
    objectName.assign(1, '\\');  // assigning the literal trips a false GCC 12 -Wrestrict warning
  } else {
    hostPart = TextLeft(address, slash - 1);
    objectName = TextRight(address, static_cast<int>(address.size()) - slash);
  }
}

}  // namespace

Text RequestTargetOf(const PostTarget& target) {
  return target.objectName == "\\" ? Text("/") : TextJoin({"/", target.objectName});
}

std::optional<PostTarget> SplitHttpAddress(std::string_view address, Failure* refusal) {
  if (UrlScheme(address) == Scheme::kHttps)
    return Refused(refusal, FailureKind::kWrongScheme, "address refused: an https address, with http checked");
  PostTarget target;
  Text hostPart;
  SplitAtSlash(DropScheme(SlashesBeforeQuery(address), "http://"), hostPart, target.objectName);
  const std::vector<Text> pieces = TextSplit(hostPart, ":");
  if (pieces.size() > 2)
    return Refused(refusal, FailureKind::kColons, "address refused: more than one \":\" after the server name");
  if (pieces.empty() || pieces[0].empty())
    return Refused(refusal, FailureKind::kNoServer, "address refused: no server name");
  target.server = pieces[0];
  const Text portText = pieces.size() == 2 ? pieces[1] : Text("80");
  target.port = static_cast<int>(static_cast<unsigned>(TruncateToInt(TextToNumber(portText))) & 0xFFFFu);
  return target;
}

std::optional<PostTarget> SplitHttpsAddress(std::string_view address, int port, Failure* refusal) {
  if (UrlScheme(address) == Scheme::kHttp)
    return Refused(refusal, FailureKind::kWrongScheme, "address refused: an http address, with https checked");
  PostTarget target;
  SplitAtSlash(DropScheme(SlashesBeforeQuery(address), "https://"), target.server, target.objectName);
  if (target.server.empty()) return Refused(refusal, FailureKind::kNoServer, "address refused: no server name");
  if (TextFind(target.server, ":") != -1)
    return Refused(refusal, FailureKind::kPortInHttps,
                   "address refused: a \":\" after the server name (https takes no port from the address)");
  target.port = port;
  return target;
}

}  // namespace pakeno
