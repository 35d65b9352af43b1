// What the Linux build tells about the prefix and its files, apart from the
// program's own message boxes: one line on standard error, after "tonvane: ".
#pragma once

[[gnu::format(printf, 1, 2)]] void Complain(const char* format, ...);
