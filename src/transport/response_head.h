#pragma once

// What the tool reads out of a response's header block, line by line, and
// which responses it will not read, whichever library received them: the
// same response is taken or refused alike on every system.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/failure.h"

namespace pakeno::transport {

// Limits on a response's header block, below those of every HTTP library
// the tool runs on.
constexpr size_t kMaxHeaderLines = 1000;
constexpr size_t kMaxHeaderBlock = 256u << 10;

class ResponseHead {
 public:
  // Begins a new response (interim, redirect or final) at its status line.
  void Clear();

  // One line of the block, with or without its CR LF; the empty line ends
  // the block. Returns why the response is refused (too many or too long
  // lines, a folded line, two different lengths), or empty.
  std::string Add(std::string_view line);

  const std::string& Block() const { return block_; }  // each line ended by CR LF
  // The block into `out`, when there is one and it fits with a terminating NUL in `capacity`.
  bool CopyBlock(std::string& out, size_t capacity) const {
    if (block_.empty() || block_.size() + 1 > capacity) return false;
    out = block_;
    return true;
  }
  // The status line's code (0 when it has none) and reason phrase.
  int Status() const;
  std::string_view ReasonPhrase() const;
  const std::string& Location() const { return location_; }
  const std::vector<std::string>& SetCookies() const { return setCookies_; }
  void ForgetCookies() { setCookies_.clear(); }
  const std::optional<std::string>& ContentLength() const { return contentLength_; }
  // The Content-Length as a number, when it is one.
  std::optional<uint64_t> LengthValue() const;
  bool Chunked() const { return chunked_; }

 private:
  std::string block_;
  size_t lines_ = 0;
  std::string location_;
  std::vector<std::string> setCookies_;
  std::optional<std::string> contentLength_;
  bool chunked_ = false;
};

// Why a request is not sent at all: a target too long, a target with a
// blank or a control byte (it would split the request line, or smuggle a
// header or a request), or a header line that holds CR, LF or NUL. None
// when it may go.
Failure RequestRefusal(std::string_view target, const std::vector<std::string>& headerLines);

// A body that ended early, in the tool's own words (libraries' texts differ
// from one version to the next); none when nothing says it was cut short.
Failure CutShortFailure(bool chunked, std::optional<uint64_t> contentLength, uint64_t received);

std::string MiB(uint64_t bytes);

}  // namespace pakeno::transport
