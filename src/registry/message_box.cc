#include "registry/message_box.h"

#include "registry/services.h"

void ShowMessage(const char* text) {
    MessageBoxA(nullptr, text, PROGRAM_NAME, MB_OK);
}
