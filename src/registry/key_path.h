// Registry keys named by one text path: a root name such as
// "HKEY_LOCAL_MACHINE", one backslash, then the subkey path below that root.
#pragma once

#include "registry/services.h"

// The predefined handle whose name is `name` (letter case counts), or the
// null handle for a name that is none of the seven roots.
HKEY RootKeyFromName(const char* name);

// Opens the key at `path` with `access` and stores its handle in `*key`.
// Returns the platform's status unchanged: on 0 the caller owns the handle
// and closes it, unless `path` is a root name alone, which yields the
// predefined root handle with nothing opened. A path with an empty or
// over-long first segment opens nothing and gives ERROR_BAD_PATHNAME.
LONG OpenKeyByPath(const char* path, HKEY* key, REGSAM access);

// Store one value under the existing key at `path`; the key is never
// created. Return the open's status if it failed, else the set's status.
LONG SetStringValue(const char* path, const char* value_name, const char* text);
LONG SetDwordValue(const char* path, const char* value_name, DWORD value);
