#pragma once

// One open conversion between two named character sets, as the system
// converts them: iconv on Linux, the Win32 code-page calls on Windows. The
// rules built on it (how far the output grows, what a bad byte becomes) are
// the same on both.

#include <cstddef>
#include <memory>
#include <string_view>

namespace pakeno {

class Converter {
 public:
  enum class Result {
    kDone,        // all of the input converted
    kOutputFull,  // the output has no room for the next character
    kInvalid,     // the input holds a sequence that is no character, or one the target cannot hold
    kIncomplete,  // the input ends inside a character
  };

  // Null when the system knows either name not.
  static std::unique_ptr<Converter> Open(std::string_view from, std::string_view to);
  virtual ~Converter() = default;

  // Converts from the start of `in` into `out`, taking off both what it used;
  // on kInvalid and kIncomplete `in` starts at the sequence concerned.
  virtual Result Convert(std::string_view& in, char*& out, size_t& outLeft) = 0;
  // Writes what brings a stateful target back to its initial state; false
  // when that does not fit.
  virtual bool Finish(char*& out, size_t& outLeft) = 0;
  // Forgets any state, after a sequence has been skipped.
  virtual void Reset() = 0;
};

}  // namespace pakeno
