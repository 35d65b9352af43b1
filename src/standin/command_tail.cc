#include "standin/command_tail.h"

#include <string_view>

#include "standin/codepage.h"

namespace standin {
namespace {

// A run of backslashes is doubled where a quote follows it, so that the
// program's own parser takes them back as written.
std::string QuoteArgument(std::string_view argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"') {
                quoted.append(backslashes + 1, '\\');
            }
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

bool NeedsQuotes(std::string_view argument) {
    return argument.empty() || argument.find_first_of(" \t") != std::string_view::npos;
}

// Outside quotes only the quote itself is escaped, with the backslashes
// before it doubled; other backslashes stand as they are.
std::string EscapeArgument(std::string_view argument) {
    std::string escaped;
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '"') {
            escaped.append(backslashes + 1, '\\');
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
        escaped += c;
    }
    return escaped;
}

}  // namespace

std::string FormCommandTail(int count, const char* const* arguments) {
    std::string tail;
    for (int i = 0; i < count; ++i) {
        const std::string_view argument = arguments[i];
        tail += i > 0 ? " " : "";
        tail += NeedsQuotes(argument) ? QuoteArgument(argument) : EscapeArgument(argument);
    }
    tail = Utf8ToAnsi(tail);
    const std::size_t start = tail.find_first_not_of(
        "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10"
        "\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\x20");
    return start == std::string::npos ? std::string() : tail.substr(start);
}

}  // namespace standin
