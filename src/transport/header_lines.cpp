#include "transport/header_lines.h"

#include <utility>

#include <algorithm>
#include <cstdint>

#include "base/ascii.h"

namespace pakeno::transport {

std::string_view HeaderName(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view{} : line.substr(0, colon);
}

std::string_view HeaderValue(std::string_view line, std::string_view name) {
  if (!EqualsIgnoringCase(HeaderName(line), name)) return {};
  std::string_view value = line.substr(name.size() + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value;
}

std::vector<std::string> SplitHeaderLines(std::string_view block) {
  std::vector<std::string> lines;
  while (!block.empty()) {
    const size_t end = block.find("\r\n");
    const std::string_view line = block.substr(0, end);
    if (!line.empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  return lines;
}

void MergeHeaderLine(std::vector<std::string>& lines, std::string line) {
  const std::string_view name = HeaderName(line);
  const auto same = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return !name.empty() && EqualsIgnoringCase(HeaderName(l), name);
  });
  if (same != lines.end()) {
    *same = std::move(line);
  } else {
    lines.push_back(std::move(line));
  }
}

bool HasHeader(const std::vector<std::string>& lines, std::string_view name) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return EqualsIgnoringCase(HeaderName(l), name); });
}

void RemoveHeaders(std::vector<std::string>& lines, std::initializer_list<std::string_view> names) {
  std::erase_if(lines, [&](const std::string& l) {
    return std::any_of(names.begin(), names.end(),
                       [&](std::string_view n) { return EqualsIgnoringCase(HeaderName(l), n); });
  });
}

bool BreaksTheLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool MergeHeaderBlock(std::vector<std::string>& lines, std::string_view block) {
  std::vector<std::string> added = SplitHeaderLines(block);
  for (std::string& line : added) MergeHeaderLine(lines, std::move(line));
  return !added.empty();
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(group >> 18) & 63];
    out += kDigits[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
  }
  return out;
}

}  // namespace pakeno::transport
