#pragma once

// Changes a process-wide setting for one scope: the setting returns to what
// it was however the scope ends, a failed assertion included, so no test
// leaks a changed setting into the next. The setter returns the previous value.
//
//   const testing::ScopedSetting timeouts(transport::SetDefaultTimeouts, transport::Timeouts{1s, 1s, 0ms});

#include <functional>
#include <utility>

namespace pakeno::testing {

class ScopedSetting {
 public:
  template <typename Setter, typename Value>
  ScopedSetting(Setter set, Value&& value) {
    auto previous = set(std::forward<Value>(value));
    restore_ = [set, previous = std::move(previous)]() mutable { set(std::move(previous)); };
  }
  ~ScopedSetting() { restore_(); }
  ScopedSetting(const ScopedSetting&) = delete;
  ScopedSetting& operator=(const ScopedSetting&) = delete;

 private:
  std::function<void()> restore_;
};

}  // namespace pakeno::testing
