// The value lines of a Wine registry file: `"name"=data` or `@=data`, where
// only hex data (`hex:`, `hex(N):`) may go on over lines that end in a
// backslash, as Wine reads them.
#pragma once

#include <string>
#include <string_view>

#include "standin/win32_api.h"

namespace standin {

// The line as Wine reads it: without the '\r' of a CRLF line end.
std::string_view WithoutCr(std::string_view line);

// nullptr when Wine reads the value line, else what is wrong with it;
// `continues` tells whether its data goes on on the next line.
const char* ReadValueLine(std::string_view line, bool* continues);

// Whether a line that goes on hex data goes on again.
inline bool HexContinues(std::string_view line) {
    return line.ends_with('\\');
}

// The length of the name at the front of a value line (@ or a quoted
// name), up to the '='; npos for a quoted name that does not end.
std::size_t NameLength(std::string_view line);
// The name of a checked value line, folded; empty for @.
std::u32string FoldedValueName(std::string_view line);

// The line Wine writes for a value, without a line end; long hex data is
// wrapped over several lines joined by "\\\n  ".
std::string ValueLine(std::string_view value_name, DWORD type, std::string_view data);

}  // namespace standin
