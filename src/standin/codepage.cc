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

// Decodes one UTF-8 sequence at the front of `text` and drops it from
// `text`; U+FFFD for a malformed one, of which one byte is dropped.
char32_t TakeCodePoint(std::string_view& text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80    ? 1
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC2 ? 2
                                              : 0;
    if (length == 0 || text.size() < length) {
        text.remove_prefix(1);
        return 0xFFFD;
    }
    char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            text.remove_prefix(1);
            return 0xFFFD;
        }
        code_point = (code_point << 6) | (next & 0x3F);
    }
    text.remove_prefix(length);
    return code_point;
}

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

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string ansi;
    while (!utf8.empty()) {
        ansi += UnicodeToAnsi(TakeCodePoint(utf8));
    }
    return ansi;
}

}  // namespace standin
