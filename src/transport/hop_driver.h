#pragma once

// What a request asks of the HTTP library of its system, one hop at a time:
// open it (directly or through a proxy), send the head and body as given,
// hand over the response head line by line and the body piece by piece,
// give up at once when told. Everything a request decides (which hop comes
// next and what it takes along, deadlines, limits, failures, cookies) is
// the request's own (request.cpp), the same on every system.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/failure.h"

namespace pakeno::transport {

// One hop, all decided.
struct Hop {
  bool https = false;
  std::string host;  // the server's name, as the address has it
  int port = 0;
  std::string target;          // the request line's target: path and query, as they go out
  std::string absoluteTarget;  // the same as an absolute address, for a proxy that wants one
  std::string verb;
  bool http10 = false;
  std::string agent;
  std::string proxy;                     // "host:port" (credentials may lead it); empty: direct
  bool systemProxy = false;              // no proxy named: the system's own settings apply, where it has any
  std::vector<std::string> headerLines;  // in order, without CR LF; the library adds Host and User-Agent
  std::string_view body;                 // stays put until the hop ends
  bool hasBody = false;                  // a POST sends its body (and length) even when it is empty
  std::chrono::milliseconds connect{0}, idle{0}, total{0};  // 0: no limit
};

// Where a driver hands what arrives, on the calling thread only.
class HopReceiver {
 public:
  virtual ~HopReceiver() = default;
  // One line of the response head, with or without its CR LF; the empty
  // line ends a block (an interim response's comes before the final one's).
  // False: the response is refused, and the hop must end.
  virtual bool HeadLine(std::string_view line) = 0;
  // Body bytes. False: none are taken now; the same bytes come again after Resume().
  virtual bool Body(std::string_view bytes) = 0;
};

class HopDriver {
 public:
  enum class Progress { kIdle, kMoved, kEnded };

  virtual ~HopDriver() = default;
  // Opens the hop and begins to send it; false, with Ended() saying why,
  // when nothing could go out.
  virtual bool Start(const Hop& hop) = 0;
  // Works on the hop for at most `wait`, handing what arrives to `receiver`:
  // kIdle when nothing came in that time, kEnded once the hop is over.
  virtual Progress Advance(std::chrono::milliseconds wait, HopReceiver& receiver) = 0;
  // Takes body bytes again after the receiver refused some.
  virtual void Resume(HopReceiver& receiver) = 0;
  // Where the final response's body ends, once its head is in: what a
  // library reads past it is not the body.
  virtual void ExpectBody(std::optional<uint64_t> length) = 0;
  // True once the library holds a connection for the hop (to the server or
  // its proxy). What comes before it (name resolution, proxy discovery,
  // connecting, retries) is the request's to bound: not every library does.
  virtual bool Connected() const = 0;
  // Why the hop ended, when the library failed it; none otherwise.
  virtual Failure Ended() const = 0;
  // Stops the hop at once and lets go of its connection.
  virtual void GiveUp() = 0;
};

// The driver over the system's HTTP library.
std::unique_ptr<HopDriver> MakeHopDriver();

// What new requests are carried by: the system's driver, or the one tests set.
std::unique_ptr<HopDriver> NewHopDriver();
using HopDriverMaker = std::function<std::unique_ptr<HopDriver>()>;
// Empty: the system's driver again. Returns the previous maker.
HopDriverMaker SetHopDriverMakerForTesting(HopDriverMaker make);

}  // namespace pakeno::transport
