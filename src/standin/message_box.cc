// Message boxes on Linux: the text goes to standard error and the "user"
// dismisses it at once.

#include <cstdio>
#include <string>

#include "standin/journal.h"

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    standin::Record(std::string("MessageBoxA(") + (owner == nullptr ? "NULL" : "owner") + ", " +
                    standin::Quote(text) + ", " + standin::Quote(caption) + ", " +
                    std::to_string(type) + ")");
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    return 1;  // IDOK
}
