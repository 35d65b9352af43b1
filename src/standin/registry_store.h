// The storage behind the stand-in registry services. A store answers for the
// keys below the seven predefined roots; the services keep the handles.
#pragma once

#include <string>
#include <string_view>

#include "standin/win32_api.h"

namespace standin {

// A key as the services know it: a root and the path below it, segments
// joined by single backslashes, in the letter case the caller gave.
struct KeyPath {
    HKEY root;
    std::string path;
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;

    // ERROR_SUCCESS when the key exists and may be opened.
    virtual LONG OpenKey(const KeyPath& key) = 0;

    // The name of the subkey at `index` in enumeration order, as stored;
    // ERROR_NO_MORE_ITEMS past the last one.
    virtual LONG EnumSubkey(const KeyPath& key, DWORD index, std::string* name) = 0;

    // Creates or replaces a value of an existing key; never creates the key.
    virtual LONG SetValue(const KeyPath& key, std::string_view value_name, DWORD type,
                          std::string_view data) = 0;
};

}  // namespace standin
