// Text as Wine's registry files hold it: UTF-8 lines in which key names,
// value names and string data are written with backslash escapes.
#pragma once

#include <string>
#include <string_view>

namespace standin {

// Decodes escaped text up to the first unescaped `terminator`, which must
// come before the end of `text`. Returns the number of bytes read, the
// terminator not included, or npos for text that does not end or has a bad
// escape. The decoded code points go to `out` when it is given.
std::size_t UnescapeWine(std::string_view text, char terminator, std::u32string* out);
// The number of backslashes right before text[at]: an odd number escapes it.
std::size_t BackslashesBefore(std::string_view text, std::size_t at);
// The offset of the first `c` in `text` that no backslash escapes, or npos.
std::size_t FindUnescaped(std::string_view text, char c);

// Decodes the whole of `text`; false for a bad escape.
bool DecodeWine(std::string_view text, std::u32string* out);

// Escapes `text` as Wine writes it: inside a key name `[` and `]` are
// escaped, elsewhere `"` is.
enum class Quoting { kKeyName, kString };
std::string EscapeWine(std::u32string_view text, Quoting quoting);

}  // namespace standin
