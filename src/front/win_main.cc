// The entry point: reads the command tail and decides what the run does.

#include "front/command_scan.h"
#include "front/usage.h"
#include "midimap/redirect.h"
#include "registry/message_box.h"
#include "registry/services.h"

namespace {

constexpr char REDIRECT_FAILED[] = "Attempt to redirect MIDI stream failed.";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_tail, int) {
    char driver_name[DRIVER_NAME_SIZE];
    const TailScan scan = ScanCommandTail(command_tail, driver_name);
    if (scan == TailScan::kUsage) {
        ShowUsage();
        return 1;
    }
    if (scan == TailScan::kNameTooLong || !RedirectMidiStream(driver_name)) {
        ShowMessage(REDIRECT_FAILED);
        return 0;
    }
    return 1;
}
