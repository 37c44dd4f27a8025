#pragma once

// A large area of zero bytes that costs no memory until written: pages the
// system hands out on first touch.

#include <cstddef>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace pakeno::testing {

class ZeroPages {
 public:
  explicit ZeroPages(size_t size) : size_(size) {
#ifdef _WIN32
    data_ = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
#else
    void* area = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    data_ = area == MAP_FAILED ? nullptr : static_cast<char*>(area);
#endif
  }
  ~ZeroPages() {
    if (!data_) return;
#ifdef _WIN32
    VirtualFree(data_, 0, MEM_RELEASE);
#else
    munmap(data_, size_);
#endif
  }
  ZeroPages(const ZeroPages&) = delete;
  ZeroPages& operator=(const ZeroPages&) = delete;

  char* data() const { return data_; }  // null when the system would not give them
  size_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  size_t size_;
};

}  // namespace pakeno::testing
