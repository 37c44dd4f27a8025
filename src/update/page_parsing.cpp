#include "update/page_parsing.h"

#include <climits>

#include "encoding/gbk.h"
#include "text/text.h"

namespace pakeno {
namespace {

// Browsers of the tool's era take no longer address; a longer one is no download link.
constexpr size_t kMaxAddressLength = 2083;

}  // namespace

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker) {
  const int start = TextFind(text, startMarker);
  if (start == -1) return {};
  const std::string_view rest = text.substr(static_cast<size_t>(start) - 1 + startMarker.size());
  const int end = TextFind(rest, endMarker);
  if (end == -1) return {};
  return Text(rest.substr(0, static_cast<size_t>(end) - 1));
}

int ReadVersionNumber(std::string_view text) {
  const Text folded = FoldFullWidth(text);
  size_t i = 0;
  while (i < folded.size() && (folded[i] == ' ' || (folded[i] >= '\t' && folded[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) negative = folded[i++] == '-';
  long long value = 0;
  for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
    value = value * 10 + (folded[i] - '0');
    if (value > INT_MAX) {
      value = static_cast<long long>(INT_MAX) + 1;  // saturate; keeps -2147483648 reachable
    }
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::optional<Announcement> ParseUpdatePage(std::string_view pageText) {
  const std::vector<Text> versionParts = TextSplit(TextBetween(pageText, Gbk("最新版本号："), "<"), ".");
  const std::vector<Text> addressParts = TextSplit(TextBetween(pageText, Gbk("下载地址："), "<"), "amp;");
  if (versionParts.size() < 3) return std::nullopt;
  Announcement announcement;
  announcement.version = ReadVersionNumber(TextJoin({versionParts[0], versionParts[1], versionParts[2]}));
  if (!addressParts.empty()) {
    announcement.address = TextJoin({addressParts[0], addressParts.size() > 1 ? addressParts[1] : Text()});
  }
  return announcement;
}

bool IsSafeToOpen(std::string_view address) {
  const bool web = TextFind(address.substr(0, 7), "http://", 1, true) == 1 ||
                   TextFind(address.substr(0, 8), "https://", 1, true) == 1;
  if (!web || address.size() > kMaxAddressLength) return false;
  for (unsigned char c : address) {
    if (c <= 0x20 || c == 0x7F) return false;  // control characters and blanks split a command line
  }
  return true;
}

}  // namespace pakeno
