#include "standin/wine_text.h"

#include <cstdio>

#include "standin/codepage.h"

namespace standin {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// Reads the escape after a backslash at text[0]; returns its length or 0.
std::size_t ReadEscape(std::string_view text, char32_t* c) {
    if (text.empty()) {
        return 0;
    }
    switch (text[0]) {
    case 'a': *c = 0x07; return 1;
    case 'b': *c = 0x08; return 1;
    case 'e': *c = 0x1B; return 1;
    case 'f': *c = 0x0C; return 1;
    case 'n': *c = 0x0A; return 1;
    case 'r': *c = 0x0D; return 1;
    case 't': *c = 0x09; return 1;
    case 'v': *c = 0x0B; return 1;
    case 'x': {
        std::size_t length = 1;
        *c = 0;
        while (length < 5 && length < text.size() && HexDigit(text[length]) >= 0) {
            *c = *c * 16 + static_cast<char32_t>(HexDigit(text[length++]));
        }
        return length > 1 ? length : 0;
    }
    default:
        if (IsOctal(text[0])) {
            std::size_t length = 0;
            *c = 0;
            while (length < 3 && length < text.size() && IsOctal(text[length])) {
                *c = *c * 8 + static_cast<char32_t>(text[length++] - '0');
            }
            return length;
        }
        *c = static_cast<unsigned char>(text[0]);
        return 1;
    }
}

// Reads one UTF-8 sequence; a malformed byte stands for itself in Latin-1,
// as Wine reads it.
std::size_t ReadUtf8OrByte(std::string_view text, char32_t* c) {
    const std::size_t length = ReadUtf8(text, c);
    if (length == 0) {
        *c = static_cast<unsigned char>(text[0]);
        return 1;
    }
    return length;
}

}  // namespace

namespace {

// Decodes up to `terminator` or, when `to_end`, to the end of `text`.
std::size_t Decode(std::string_view text, char terminator, bool to_end, std::u32string* out) {
    std::size_t i = 0;
    while (i < text.size() && text[i] != terminator) {
        // Plain ASCII runs, most of any real file, are copied as they are.
        std::size_t plain = i;
        while (plain < text.size() && text[plain] != terminator && text[plain] != '\\' &&
               static_cast<unsigned char>(text[plain]) < 0x80) {
            ++plain;
        }
        if (plain > i) {
            if (out != nullptr) {
                const std::size_t used = out->size();
                out->resize(used + plain - i);
                for (std::size_t k = i; k < plain; ++k) {
                    (*out)[used + k - i] = static_cast<unsigned char>(text[k]);
                }
            }
            i = plain;
            continue;
        }
        char32_t c;
        std::size_t length;
        if (text[i] == '\\') {
            length = ReadEscape(text.substr(i + 1), &c);
            if (length == 0) {
                return std::string_view::npos;
            }
            ++length;
        } else {
            length = ReadUtf8OrByte(text.substr(i), &c);
        }
        if (out != nullptr) {
            *out += c;
        }
        i += length;
    }
    return i < text.size() || to_end ? i : std::string_view::npos;
}

}  // namespace

std::size_t UnescapeWine(std::string_view text, char terminator, std::u32string* out) {
    return Decode(text, terminator, false, out);
}

std::size_t BackslashesBefore(std::string_view text, std::size_t at) {
    std::size_t backslashes = 0;
    while (backslashes < at && text[at - 1 - backslashes] == '\\') {
        ++backslashes;
    }
    return backslashes;
}

std::size_t FindUnescaped(std::string_view text, char c) {
    std::size_t at = text.find(c);
    while (at != std::string_view::npos && BackslashesBefore(text, at) % 2 != 0) {
        at = text.find(c, at + 1);
    }
    return at;
}

bool DecodeWine(std::string_view text, std::u32string* out) {
    return Decode(text, '\0', true, out) == text.size();
}

// Wine writes what is not printable ASCII as the shortest escape that the
// next character cannot be read into.
std::string EscapeWine(std::u32string_view text, Quoting quoting) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        const char next =
            i + 1 < text.size() && text[i + 1] < 0x80 ? static_cast<char>(text[i + 1]) : '\0';
        char escape[16];
        switch (c) {
        case 0x07: out += "\\a"; continue;
        case 0x08: out += "\\b"; continue;
        case 0x09: out += "\\t"; continue;
        case 0x0A: out += "\\n"; continue;
        case 0x0B: out += "\\v"; continue;
        case 0x0C: out += "\\f"; continue;
        case 0x0D: out += "\\r"; continue;
        case 0x1B: out += "\\e"; continue;
        case '\\': out += "\\\\"; continue;
        default: break;
        }
        const bool quoted = quoting == Quoting::kKeyName ? (c == '[' || c == ']') : c == '"';
        if (quoted) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            std::snprintf(escape, sizeof escape, IsOctal(next) ? "\\%03o" : "\\%o",
                          static_cast<unsigned>(c));
            out += escape;
        } else if (c > 0x7F) {
            std::snprintf(escape, sizeof escape, HexDigit(next) >= 0 ? "\\x%04x" : "\\x%x",
                          static_cast<unsigned>(c));
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace standin
