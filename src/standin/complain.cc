#include "standin/complain.h"

#include <cstdarg>
#include <cstdio>

void Complain(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::fputs("tonvane: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    va_end(arguments);
}
