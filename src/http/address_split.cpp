#include "http/address_split.h"

#include "text/text.h"

namespace pakeno {
namespace {

// Backslashes become slashes, but only before the query: what follows "?"
// is the user's data and goes out as typed.
Text NormaliseSlashes(std::string_view address) {
  const int query = TextFind(address, "?");
  const size_t end = query == -1 ? address.size() : static_cast<size_t>(query - 1);
  Text result(address);
  for (size_t i = 0; i < end; ++i) {
    if (static_cast<unsigned char>(result[i]) >= 0x80) {
      ++i;  // a trail byte of 0x5C is part of a character, not a backslash
    } else if (result[i] == '\\') {
      result[i] = '/';
    }
  }
  return result;
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

std::optional<PostTarget> SplitHttpAddress(std::string_view address) {
  PostTarget target;
  Text hostPart;
  SplitAtSlash(DropScheme(NormaliseSlashes(address), "http://"), hostPart, target.objectName);
  const std::vector<Text> pieces = TextSplit(hostPart, ":");
  if (pieces.empty() || pieces.size() > 2 || pieces[0].empty()) return std::nullopt;
  target.server = pieces[0];
  const Text portText = pieces.size() == 2 ? pieces[1] : Text("80");
  target.port = static_cast<int>(static_cast<unsigned>(TruncateToInt(TextToNumber(portText))) & 0xFFFFu);
  return target;
}

std::optional<PostTarget> SplitHttpsAddress(std::string_view address, int port) {
  PostTarget target;
  SplitAtSlash(DropScheme(NormaliseSlashes(address), "https://"), target.server, target.objectName);
  if (target.server.empty() || TextFind(target.server, ":") != -1) return std::nullopt;
  target.port = port;
  return target;
}

}  // namespace pakeno
