// The entry point: reads the command tail and decides what the run does.

#include "common/text.h"
#include "front/usage.h"
#include "midimap/redirect.h"
#include "registry/message_box.h"
#include "registry/services.h"

namespace {

constexpr unsigned DRIVER_NAME_SIZE = 512;
constexpr char NAME_DELIMITER[] = " ";

constexpr char INVALID_OPTION[] = "Invalid Option on command line.";
constexpr char REDIRECT_FAILED[] = "Attempt to redirect MIDI stream failed.";

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

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_tail, int) {
    if (command_tail[0] == '\0') {
        ShowUsage();
        return 1;
    }
    char driver_name[DRIVER_NAME_SIZE];
    driver_name[0] = '\0';
    bool name_taken = false;
    bool name_too_long = false;
    const char* position = command_tail;
    do {
        position = SkipWhitespace(position);
        if (IsOptionMark(*position)) {
            ++position;
            if (*position == '?') {
                ShowUsage();
                return 1;
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

    if (name_too_long || !RedirectMidiStream(driver_name)) {
        ShowMessage(REDIRECT_FAILED);
        return 0;
    }
    return 1;
}
