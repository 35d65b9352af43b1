#include "standin/text_fold.h"

#include "standin/codepage.h"
#include "standin/wine_text.h"

namespace standin {
namespace {

// The same rule as for names read from Wine's files, through the code page.
char FoldChar(char c) {
    return UnicodeToAnsi(FoldCodePoint(AnsiToUnicode(static_cast<unsigned char>(c))));
}

}  // namespace

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
