#pragma once

#include <cstddef>

namespace pakeno {

// Asks the kernel to back a large buffer with huge pages. Filling a body of
// tens of MiB otherwise spends most of its time in page faults.
void AdviseHugePages(void* data, size_t size);

// The machine's physical memory in bytes; 0 when the system does not say.
size_t PhysicalMemoryBytes();

}  // namespace pakeno
