#pragma once

// What the process itself asks of its system: to end, to write a line to
// standard error, to read its environment.

#include <string>
#include <string_view>

namespace pakeno {

// Ends the process now with `code`, buffered output written, without running
// static destructors or (on Windows) any library's detach code: the end may
// come while a request's call is still inside the HTTP library.
[[noreturn]] void EndProcessNow(int code);

// Writes UTF-8 text to standard error in a form the reader sees as written:
// as text to a console, as the UTF-8 bytes themselves to a file or a pipe.
void WriteStandardError(std::string_view utf8);

// The value of the environment variable named exactly `name`, letter case
// included; "" when there is none.
std::string EnvironmentVariable(const char* name);

}  // namespace pakeno
