// The command tail of a Linux run, formed from the arguments the way Wine
// forms a Windows program's command line from them.
#pragma once

#include <string>

namespace standin {

// Joins `arguments` with single spaces, quoting each one that is empty or
// holds a space or tab, with the platform's backslash rules; converts the
// UTF-8 arguments to the ANSI code page; and drops the bytes 0x01..0x20 at
// the front, as the program startup does after the program's name.
std::string FormCommandTail(int count, const char* const* arguments);

}  // namespace standin
