// Key and value names compare without regard to letter case, in the order
// the registry enumerates them: by their lower-case forms. Every fold of the
// Linux build is made here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

char32_t FoldNonAscii(char32_t c);
// The lower-case form of a code point; ASCII, most of any name, inline.
inline char32_t FoldCodePoint(char32_t c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    }
    return FoldNonAscii(c);
}

// The lower-case form of an 8-bit name in the ANSI code page.
std::string FoldCase(std::string_view name);

// The segments of a backslash-separated key path; empty for an empty path.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

}  // namespace standin
