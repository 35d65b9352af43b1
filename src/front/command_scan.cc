#include "front/command_scan.h"

#include <cstddef>

#include "common/text.h"
#include "registry/message_box.h"

namespace {

constexpr char NAME_DELIMITER[] = " ";
constexpr char INVALID_OPTION[] = "Invalid Option on command line.";

// The C locale's whitespace, spelled out so no locale can widen it.
bool IsWhitespace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsOptionMark(char c) {
    return c == '-' || c == '/';
}

const char* SkipWhitespace(const char* position) {
    while (IsWhitespace(*position)) {
        ++position;
    }
    return position;
}

}  // namespace

TailScan ScanCommandTail(const char* command_tail, char* driver_name) {
    driver_name[0] = '\0';
    if (command_tail[0] == '\0') {
        return TailScan::kUsage;
    }
    bool name_taken = false;
    bool name_too_long = false;
    const char* position = command_tail;
    do {
        position = SkipWhitespace(position);
        if (IsOptionMark(*position)) {
            ++position;
            if (*position == '?') {
                return TailScan::kUsage;
            }
            // The characters after the mark are read again as plain text.
            ShowMessage(INVALID_OPTION);
            continue;
        }
        const std::size_t length = TokenLength(NAME_DELIMITER, position);
        if (!name_taken && length < DRIVER_NAME_SIZE) {
            position = CopyToken(NAME_DELIMITER, driver_name, position);
        } else {
            // Only the first word is the driver name; a later word, or a
            // first word too long to hold, is stepped over.
            name_too_long = name_too_long || !name_taken;
            position += length;
        }
        name_taken = name_taken || length > 0;
    } while (*position != '\0');
    return name_too_long ? TailScan::kNameTooLong : TailScan::kNameTaken;
}
