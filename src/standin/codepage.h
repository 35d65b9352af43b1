// The text encodings of the Linux build. Its ANSI code page is
// Windows-1252, as a Wine prefix set up for English has it: the program's
// 8-bit texts are in it. Linux arguments and Wine's registry files are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace standin {

inline constexpr char DEFAULT_CHAR = '?';  // for what the code page lacks

char32_t AnsiToUnicode(unsigned char byte);
// The code page's byte for `code_point`, or DEFAULT_CHAR.
char UnicodeToAnsi(char32_t code_point);

// UTF-8 text to the code page; a malformed sequence gives DEFAULT_CHAR.
std::string Utf8ToAnsi(std::string_view utf8);

std::u32string AnsiToU32(std::string_view ansi);
std::string U32ToAnsi(std::u32string_view text);

// Reads the UTF-8 sequence at the front of `text` into `c` and returns its
// length, or 0 for a malformed one (the caller decides what it stands for).
std::size_t ReadUtf8(std::string_view text, char32_t* c);
void AppendUtf8(std::string& out, char32_t c);

}  // namespace standin
