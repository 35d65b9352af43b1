#include "standin/codepage.h"

namespace standin {
namespace {

// 0x80..0x9F; the five bytes Windows-1252 leaves unassigned stand for the
// C1 controls of the same number, as on Windows.
constexpr char16_t HIGH_CONTROLS[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t AnsiToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? HIGH_CONTROLS[byte - 0x80] : byte;
}

char UnicodeToAnsi(char32_t code_point) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
        return static_cast<char>(code_point);
    }
    for (unsigned i = 0; i < 32; ++i) {
        if (HIGH_CONTROLS[i] == code_point) {
            return static_cast<char>(0x80 + i);
        }
    }
    return DEFAULT_CHAR;
}

std::size_t ReadUtf8(std::string_view text, char32_t* c) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80    ? 1
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC2 ? 2
                                              : 0;
    if (length == 0 || text.size() < length) {
        return 0;
    }
    char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code_point = (code_point << 6) | (next & 0x3F);
    }
    *c = code_point;
    return length;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A malformed sequence stands for U+FFFD, of which one byte is dropped.
std::string Utf8ToAnsi(std::string_view utf8) {
    std::string ansi;
    while (!utf8.empty()) {
        char32_t c = 0;
        const std::size_t length = ReadUtf8(utf8, &c);
        ansi += length == 0 ? DEFAULT_CHAR : UnicodeToAnsi(c);
        utf8.remove_prefix(length == 0 ? 1 : length);
    }
    return ansi;
}

std::u32string AnsiToU32(std::string_view ansi) {
    std::u32string text;
    text.reserve(ansi.size());
    for (const char c : ansi) {
        text += AnsiToUnicode(static_cast<unsigned char>(c));
    }
    return text;
}

std::string U32ToAnsi(std::u32string_view text) {
    std::string ansi;
    ansi.reserve(text.size());
    for (const char32_t c : text) {
        ansi += UnicodeToAnsi(c);
    }
    return ansi;
}

}  // namespace standin
