// The Windows services the program calls: the real Win32 API on Windows, our
// own stand-in everywhere else. This is the only place that tells them apart.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "standin/win32_api.h"
#endif
