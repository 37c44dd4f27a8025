#include "http/body_reader.h"

#include <algorithm>
#include <new>

#include "base/event_pump.h"
#include "system/memory_hint.h"

namespace pakeno {
namespace {

constexpr size_t kReadSize = 2048;
// A Content-Length is only a hint: a lying server must not make us reserve gigabytes.
constexpr uint64_t kMaxReserve = 256u << 20;
constexpr size_t kHugePageWorthy = 4u << 20;

}  // namespace

Bytes ReadWholeBody(transport::Request& request, PumpAt pumpAt, transport::Failure& failure) {
  Bytes body;
  failure = {};
  try {
    if (const auto length = request.ContentLength()) body.reserve(std::min(*length, kMaxReserve));
    size_t advised = 0;
    char buffer[kReadSize] = {};
    for (;;) {
      if (pumpAt == PumpAt::kBeforeEachRead) PumpEvents();
      const size_t count = request.Read(buffer, sizeof buffer);
      body.append(buffer, count);
      if (pumpAt == PumpAt::kAfterEachRead) PumpEvents();
      if (count == 0) break;
      if (body.capacity() >= kHugePageWorthy && body.capacity() != advised) {
        AdviseHugePages(body.data(), body.capacity());
        advised = body.capacity();
      }
    }
  } catch (const std::bad_alloc&) {
    failure = {transport::FailureKind::kMemory,
               "not enough memory for the body after " + std::to_string(body.size() >> 20) + " MiB"};
    return {};
  }
  failure = request.GetFailure();
  if (failure) return {};
  return body;
}

}  // namespace pakeno
