// The value lines of a Wine registry file: `"name"=data` or `@=data`, where
// only hex data (`hex:`, `hex(N):`) may go on over lines that end in a
// backslash, as Wine reads them.
#pragma once

#include <string>
#include <string_view>

#include "standin/line_reader.h"
#include "standin/win32_api.h"

namespace standin {

// nullptr when Wine reads the value line, else what is wrong with it;
// `continues` tells whether its data goes on on the next line.
const char* ReadValueLine(const Line& line, bool* continues);

// Whether a line that goes on hex data goes on again.
inline bool HexContinues(const Line& line) {
    return line.tail.ends_with('\\');
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
