#pragma once

// Header lines as the request code hands them over: blocks of lines, each
// ended by CR LF. Pure rules.

#include <string>
#include <string_view>
#include <vector>

namespace pakeno::transport {

// The header name of a line, up to its colon; empty when it has none.
std::string_view HeaderName(std::string_view line);

// The non-empty lines of a CR LF block; a last line without CR LF counts.
std::vector<std::string> SplitHeaderLines(std::string_view block);

// The value of `line` when it is a `name` header, blanks around it dropped;
// a view with no data (data() == nullptr) when it is not.
std::string_view HeaderValue(std::string_view line, std::string_view name);

// Adds `line` to `lines`, replacing the first line of the same header name
// (any letter case); a line without a name is always added.
void MergeHeaderLine(std::vector<std::string>& lines, std::string line);

// Merges every line of a CR LF block into `lines`, as MergeHeaderLine does;
// false when the block holds no line.
bool MergeHeaderBlock(std::vector<std::string>& lines, std::string_view block);

// Whether any of `lines` names `name`, in any letter case.
bool HasHeader(const std::vector<std::string>& lines, std::string_view name);

// Removes every line naming one of `names`.
void RemoveHeaders(std::vector<std::string>& lines, std::initializer_list<std::string_view> names);

// The Base64 of `bytes`, as an Authorization: Basic line carries credentials.
std::string Base64(std::string_view bytes);

// A CR, LF or NUL inside one line of a request would end that line early
// and let the rest pass for a header or a request of its own.
bool BreaksTheLine(std::string_view text);

}  // namespace pakeno::transport
