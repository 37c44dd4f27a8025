#pragma once

// This process's memory as the kernel counts it, for measures of peak use.

#include <cstring>
#include <fstream>
#include <string>

namespace pakeno::testing {

// A "VmRSS:"-style field of /proc/self/status, in KiB; 0 when absent.
inline long StatusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  }
  return 0;
}

// Starts the count of the peak (VmHWM) afresh from what is in use now.
inline void RestartPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace pakeno::testing
