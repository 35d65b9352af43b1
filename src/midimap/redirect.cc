#include "midimap/redirect.h"

#include "common/text.h"
#include "registry/key_path.h"
#include "registry/message_box.h"

namespace {

constexpr char MEDIA_CLASS_PATH[] =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\MEDIA";
constexpr char MIDIMAP_PATH[] =
    "HKEY_USERS\\.Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap";

constexpr unsigned INSTANCE_NAME_SIZE = 260;
constexpr unsigned PROBE_PATH_SIZE = 512;
constexpr unsigned VALUE_TEXT_SIZE = 512;

constexpr char INSTANCE_SEPARATOR[] = "\\";
constexpr char DRIVER_SUBPATH[] = "\\Drivers\\midi\\";
constexpr char OPENING_MARK[] = "<";
constexpr char CLOSING_MARK[] = ">";
constexpr char STRING_VALUE_NAME[] = "CurrentInstrument";
constexpr char NUMBER_VALUE_NAME[] = "Autoscheme";

constexpr char MEDIA_OPEN_FAILED[] = "Error opening Registry for MEDIA";

// False when the names are too long for the buffer; that instance cannot
// hold the driver by a path we can name.
bool BuildProbePath(char* path, const char* instance, const char* driver) {
    path[0] = '\0';
    return AppendText(path, PROBE_PATH_SIZE, MEDIA_CLASS_PATH) &&
           AppendText(path, PROBE_PATH_SIZE, INSTANCE_SEPARATOR) &&
           AppendText(path, PROBE_PATH_SIZE, instance) &&
           AppendText(path, PROBE_PATH_SIZE, DRIVER_SUBPATH) &&
           AppendText(path, PROBE_PATH_SIZE, driver);
}

// The value text is shorter than a probe path that fitted, so it always fits.
void BuildValueText(char* text, const char* driver, const char* instance) {
    text[0] = '\0';
    AppendText(text, VALUE_TEXT_SIZE, driver);
    AppendText(text, VALUE_TEXT_SIZE, OPENING_MARK);
    AppendText(text, VALUE_TEXT_SIZE, instance);
    AppendText(text, VALUE_TEXT_SIZE, CLOSING_MARK);
}

// Autoscheme is written only once CurrentInstrument is, so that a half-done
// update never switches the mapper away from the scheme it had.
int WriteMidiMapValues(const char* driver, const char* instance) {
    char value_text[VALUE_TEXT_SIZE];
    BuildValueText(value_text, driver, instance);
    return SetStringValue(MIDIMAP_PATH, STRING_VALUE_NAME, value_text) == ERROR_SUCCESS &&
           SetDwordValue(MIDIMAP_PATH, NUMBER_VALUE_NAME, 0) == ERROR_SUCCESS;
}

}  // namespace

int RedirectMidiStream(const char* driver_name) {
    // An empty name would make every instance match its own "\midi\" key and
    // record a current instrument with no driver in it.
    if (driver_name[0] == '\0') {
        return 0;
    }
    HKEY class_key;
    if (OpenKeyByPath(MEDIA_CLASS_PATH, &class_key, KEY_READ) != ERROR_SUCCESS) {
        ShowMessage(MEDIA_OPEN_FAILED);
        return 0;
    }
    int redirected = 0;
    char instance[INSTANCE_NAME_SIZE];
    for (DWORD index = 0;
         RegEnumKeyA(class_key, index, instance, INSTANCE_NAME_SIZE) == ERROR_SUCCESS; ++index) {
        char probe_path[PROBE_PATH_SIZE];
        HKEY driver_key;
        if (!BuildProbePath(probe_path, instance, driver_name) ||
            OpenKeyByPath(probe_path, &driver_key, KEY_READ) != ERROR_SUCCESS) {
            continue;
        }
        redirected = WriteMidiMapValues(driver_name, instance);
        RegCloseKey(driver_key);
        break;
    }
    RegCloseKey(class_key);
    return redirected;
}
