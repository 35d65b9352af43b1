// The scan of the command tail: options and the driver name.
#pragma once

inline constexpr unsigned DRIVER_NAME_SIZE = 512;

enum class TailScan {
    kUsage,        // the tail is empty or holds the help option
    kNameTaken,    // the driver name, empty if no word was taken
    kNameTooLong,  // the first word does not fit DRIVER_NAME_SIZE
};

// Reads the tail once from left to right. Each invalid option is reported
// with its message box as it is met, and the characters after its mark are
// read again as plain text; the first plain word, ended by a space only, is
// copied into `driver_name` (of DRIVER_NAME_SIZE bytes).
TailScan ScanCommandTail(const char* command_tail, char* driver_name);
