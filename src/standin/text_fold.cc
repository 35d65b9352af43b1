#include "standin/text_fold.h"

#include "standin/codepage.h"

namespace standin {
namespace {

// The same rule as for names read from Wine's files, through the code page.
char FoldChar(char c) {
    return UnicodeToAnsi(FoldCodePoint(AnsiToUnicode(static_cast<unsigned char>(c))));
}

}  // namespace

char32_t FoldNonAscii(char32_t c) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Latin Extended-A pairs letters upper then lower, with a shift of
        // parity between 0x138 and 0x149 and after 0x178.
        const bool shifted = (c > 0x138 && c < 0x149) || c > 0x178;
        return (c % 2 == (shifted ? 1u : 0u)) ? c + 1 : c;
    }
    return c;
}

std::string FoldCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = FoldChar(c);
    }
    return folded;
}

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
    std::vector<std::string_view> segments;
    while (!path.empty()) {
        const std::size_t end = path.find('\\');
        segments.push_back(path.substr(0, end));
        path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
    }
    return segments;
}

}  // namespace standin
