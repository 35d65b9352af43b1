// The ANSI code page of the Linux build: Windows-1252, as a Wine prefix set
// up for English has it. The program's 8-bit texts are in this code page;
// Linux arguments and Wine's registry files are in Unicode.
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

}  // namespace standin
