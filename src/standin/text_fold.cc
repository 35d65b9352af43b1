#include "standin/text_fold.h"

namespace standin {

char FoldChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 'A' && byte <= 'Z') {
        return static_cast<char>(byte + ('a' - 'A'));
    }
    // Windows-1252: À..Þ less × fold by 0x20; Š Œ Ž and Ÿ have their own.
    if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) {
        return static_cast<char>(byte + 0x20);
    }
    switch (byte) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
    }
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
