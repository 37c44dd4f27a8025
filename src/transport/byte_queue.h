#pragma once

// Bytes received and not yet read: appended at the back, taken from the
// front. What is taken is not moved out each time; the front is trimmed
// once it is half the buffer, so a large body costs one copy in, one out.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace pakeno::transport {

class ByteQueue {
 public:
  size_t Size() const { return bytes_.size() - offset_; }

  // May throw std::bad_alloc, leaving the queue as it was.
  void Append(std::string_view more) {
    if (offset_ > 0 && offset_ >= bytes_.size() / 2) {
      bytes_.erase(0, offset_);
      offset_ = 0;
    }
    bytes_.append(more);
  }

  size_t Take(char* buffer, size_t capacity) {
    const size_t n = std::min(capacity, Size());
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    if (offset_ == bytes_.size()) Clear();
    return n;
  }

  // Everything unread, into `into` (whose content is dropped), without a copy.
  void TakeAll(std::string& into) {
    bytes_.erase(0, offset_);
    offset_ = 0;
    into.clear();
    into.swap(bytes_);
  }

  void Clear() {
    bytes_.clear();
    offset_ = 0;
  }

 private:
  std::string bytes_;
  size_t offset_ = 0;
};

}  // namespace pakeno::transport
