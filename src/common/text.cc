#include "common/text.h"

#include <cstring>

std::size_t TokenLength(const char* delimiters, const char* source) {
    const char delimiter = delimiters[0];
    std::size_t length = 0;
    while (source[length] != '\0' && source[length] != delimiter) {
        ++length;
    }
    return length;
}

const char* CopyToken(const char* delimiters, char* destination, const char* source) {
    const std::size_t length = TokenLength(delimiters, source);
    std::memcpy(destination, source, length);
    destination[length] = '\0';
    return source + length;
}

bool AppendText(char* buffer, std::size_t size, const char* text) {
    const std::size_t used = std::strlen(buffer);
    const std::size_t added = std::strlen(text);
    if (used + added >= size) {
        return false;
    }
    std::memcpy(buffer + used, text, added + 1);
    return true;
}
