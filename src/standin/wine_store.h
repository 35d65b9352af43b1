// The registry of a Wine prefix, read from and written to its files:
// HKEY_LOCAL_MACHINE is system.reg, HKEY_USERS\.Default userdef.reg and
// HKEY_CURRENT_USER user.reg. Other keys do not exist here.
#pragma once

#include <map>
#include <string>

#include "standin/prefix_guard.h"
#include "standin/reg_file.h"
#include "standin/registry_store.h"

namespace standin {

class WinePrefixStore : public RegistryStore {
public:
    explicit WinePrefixStore(std::string prefix);
    WinePrefixStore(const WinePrefixStore&) = delete;
    WinePrefixStore& operator=(const WinePrefixStore&) = delete;

    // The prefix Wine itself would use: $WINEPREFIX, else ~/.wine.
    static std::string DefaultPrefix();

    LONG OpenKey(const KeyPath& key) override;
    LONG EnumSubkey(const KeyPath& key, DWORD index, std::string* name) override;
    LONG SetValue(const KeyPath& key, std::string_view value_name, DWORD type,
                  std::string_view data) override;

private:
    struct Place {
        const char* file;       // nullptr: the key is not in any file
        std::string_view path;  // below the file's root, within the key's path
    };
    static Place PlaceOf(const KeyPath& key);
    LONG FileFor(const Place& place, RegFile** file);

    std::string prefix_;
    PrefixGuard guard_;  // taken before the first file is read
    // A file as read once: its status, and what it holds when read.
    struct LoadedFile {
        LONG status = ERROR_SUCCESS;
        RegFile file;
    };
    std::map<std::string, LoadedFile> files_;
};

}  // namespace standin
