#include "update/page_parsing.h"

#include <cctype>
#include <climits>
#include <string>

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

std::optional<Version> ParseVersion(std::string_view text) {
  const std::vector<Text> parts = TextSplit(text, ".");
  if (parts.size() < 3) return std::nullopt;
  return Version{ReadVersionNumber(parts[0]), ReadVersionNumber(parts[1]), ReadVersionNumber(parts[2])};
}

std::optional<Announcement> ParseUpdatePage(std::string_view pageText) {
  const std::optional<Version> version = ParseVersion(TextBetween(pageText, Gbk("最新版本号："), "<"));
  if (!version) return std::nullopt;
  const std::vector<Text> addressParts = TextSplit(TextBetween(pageText, Gbk("下载地址："), "<"), "amp;");
  Announcement announcement;
  announcement.version = *version;
  if (!addressParts.empty()) {
    announcement.address = TextJoin({addressParts[0], addressParts.size() > 1 ? addressParts[1] : Text()});
  }
  return announcement;
}

std::string WhyNotToOpen(std::string_view address) {
  const size_t schemeEnd = TextFind(address.substr(0, 7), "http://", 1, true) == 1    ? 7
                           : TextFind(address.substr(0, 8), "https://", 1, true) == 1 ? 8
                                                                                      : 0;
  if (schemeEnd == 0) return "the download address is no http or https address";
  if (address.size() > kMaxAddressLength)
    return "the download address is " + std::to_string(address.size()) + " bytes, at most " +
           std::to_string(kMaxAddressLength);
  if (schemeEnd == address.size() || std::string_view("/?#").find(address[schemeEnd]) != std::string_view::npos)
    return "the download address names no server";
  for (size_t i = 0; i < address.size(); ++i) {
    const auto c = static_cast<unsigned char>(address[i]);
    if (c <= 0x20 || c == 0x7F) return "the download address holds a blank or a control character";
    if (std::string_view("\"'`<>\\^{|}").find(static_cast<char>(c)) != std::string_view::npos)
      return std::string("the download address holds \"") + static_cast<char>(c) + "\"";
    const auto hex = [&](size_t at) {
      return at < address.size() && std::isxdigit(static_cast<unsigned char>(address[at]));
    };
    if (c == '%' && !(hex(i + 1) && hex(i + 2))) return "the download address holds a \"%\" that escapes nothing";
  }
  return {};
}

}  // namespace pakeno
