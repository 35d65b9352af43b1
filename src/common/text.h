// Text helpers shared by all parts of the program. Texts are NUL-terminated
// 8-bit strings in fixed-size buffers whose sizes include the NUL.
#pragma once

#include <cstddef>

// The number of characters of `source` before the first `delimiters[0]` or
// the end. Only the first character of `delimiters` counts.
std::size_t TokenLength(const char* delimiters, const char* source);

// Copies `source` into `destination` up to the first `delimiters[0]` or the
// end, terminates the copy, and returns where it stopped in `source` (on the
// delimiter, not past it). The copy is unbounded: callers check TokenLength
// against their buffer first.
const char* CopyToken(const char* delimiters, char* destination, const char* source);

// Appends `text` to the text in `buffer` (of `size` bytes) when the result
// fits with its NUL; returns false, with `buffer` unchanged, otherwise.
bool AppendText(char* buffer, std::size_t size, const char* text);
