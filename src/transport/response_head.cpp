#include "transport/response_head.h"

#include <algorithm>
#include <charconv>

#include "transport/header_lines.h"
#include "transport/request.h"

namespace pakeno::transport {

void ResponseHead::Clear() { *this = ResponseHead(); }

std::string ResponseHead::Add(std::string_view line) {
  const bool statusLine = line.starts_with("HTTP/");
  std::string_view content = line;
  while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) content.remove_suffix(1);
  if (!statusLine && !content.empty() && (content.front() == ' ' || content.front() == '\t'))
    return "the response continues a header line on the next (obsolete line folding)";
  if (++lines_ > kMaxHeaderLines)
    return "the response has more than " + std::to_string(kMaxHeaderLines) + " header lines";
  if (block_.size() + content.size() + 2 > kMaxHeaderBlock)
    return "the response's header block is larger than " + std::to_string(kMaxHeaderBlock >> 10) + " KiB";
  block_.append(content).append("\r\n");
  if (const std::string_view value = HeaderValue(content, "Location"); value.data()) location_ = value;
  if (const std::string_view value = HeaderValue(content, "Set-Cookie"); value.data()) setCookies_.emplace_back(value);
  if (const std::string_view value = HeaderValue(content, "Content-Length"); value.data()) {
    if (contentLength_ && *contentLength_ != value)
      return "the response announces two different lengths (Content-Length)";
    contentLength_ = value;
  }
  if (const std::string_view value = HeaderValue(content, "Transfer-Encoding"); value.data())
    chunked_ = chunked_ || value.find("chunked") != std::string_view::npos;
  return {};
}

std::optional<uint64_t> ResponseHead::LengthValue() const {
  uint64_t value = 0;
  if (!contentLength_) return std::nullopt;
  const char* end = contentLength_->data() + contentLength_->size();
  if (std::from_chars(contentLength_->data(), end, value).ptr != end) return std::nullopt;
  return value;
}

int ResponseHead::Status() const {
  // "HTTP/1.1 200 OK": three digits after the first blank.
  const size_t blank = block_.find(' ');
  if (blank == std::string::npos || block_.size() < blank + 4) return 0;
  int status = 0;
  for (size_t i = blank + 1; i < blank + 4; ++i) {
    if (block_[i] < '0' || block_[i] > '9') return 0;
    status = status * 10 + (block_[i] - '0');
  }
  return status;
}

std::string_view ResponseHead::ReasonPhrase() const {
  const std::string_view line = std::string_view(block_).substr(0, block_.find("\r\n"));
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.size() <= blank + 5) return {};
  return line.substr(blank + 5);
}

Failure RequestRefusal(std::string_view target, const std::vector<std::string>& headerLines) {
  if (target.size() > kMaxTargetBytes)
    return {FailureKind::kTargetTooLong, "address refused: the address is " + std::to_string(target.size()) +
                                             " bytes, at most " + std::to_string(kMaxTargetBytes)};
  if (std::any_of(target.begin(), target.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; }))
    return {FailureKind::kTargetCharacters, "address refused: the request target holds a blank or a control character"};
  if (std::any_of(headerLines.begin(), headerLines.end(), [](const std::string& l) { return BreaksTheLine(l); }))
    return {FailureKind::kHeaderLine, "a header line holds a line break or a NUL byte"};
  return {};
}

Failure CutShortFailure(bool chunked, std::optional<uint64_t> contentLength, uint64_t received) {
  if (chunked) return {FailureKind::kCutShort, "the server closed the connection before the last chunk"};
  if (contentLength && *contentLength > received)
    return {FailureKind::kCutShort, "the server closed the connection " + std::to_string(*contentLength - received) +
                                        " bytes before the announced end"};
  return {};
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20); }

}  // namespace pakeno::transport
