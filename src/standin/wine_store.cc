#include "standin/wine_store.h"

#include <cstdlib>

#include "standin/text_fold.h"

namespace standin {
namespace {

constexpr char DEFAULT_USER[] = ".default";  // folded

}  // namespace

WinePrefixStore::WinePrefixStore(std::string prefix) : prefix_(prefix), guard_(std::move(prefix)) {}

std::string WinePrefixStore::DefaultPrefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix != nullptr && *prefix != '\0') {
        return prefix;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.wine";
}

WinePrefixStore::Place WinePrefixStore::PlaceOf(const KeyPath& key) {
    if (key.root == HKEY_LOCAL_MACHINE) {
        return Place{"system.reg", key.path};
    }
    if (key.root == HKEY_CURRENT_USER) {
        return Place{"user.reg", key.path};
    }
    if (key.root == HKEY_USERS) {
        const std::size_t end = key.path.find('\\');
        if (FoldCase(std::string_view(key.path).substr(0, end)) == DEFAULT_USER) {
            return Place{"userdef.reg", end == std::string::npos
                                            ? std::string_view()
                                            : std::string_view(key.path).substr(end + 1)};
        }
    }
    return Place{nullptr, std::string_view()};
}

LONG WinePrefixStore::FileFor(const Place& place, RegFile** file) {
    if (place.file == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const LONG status = guard_.Acquire()) {
        return status;
    }
    auto [entry, fresh] = files_.try_emplace(place.file);
    LoadedFile& loaded = entry->second;
    if (fresh) {
        loaded.status = loaded.file.Load(prefix_ + "/" + place.file);
    }
    *file = &loaded.file;
    return loaded.status;
}

LONG WinePrefixStore::OpenKey(const KeyPath& key) {
    if (key.root == HKEY_USERS && key.path.empty()) {
        return ERROR_SUCCESS;
    }
    const Place place = PlaceOf(key);
    RegFile* file = nullptr;
    if (const LONG status = FileFor(place, &file)) {
        return status;
    }
    return file->HasKey(place.path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG WinePrefixStore::EnumSubkey(const KeyPath& key, DWORD index, std::string* name) {
    if (key.root == HKEY_USERS && key.path.empty()) {
        *name = ".Default";
        return index == 0 ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
    }
    const Place place = PlaceOf(key);
    RegFile* file = nullptr;
    if (const LONG status = FileFor(place, &file)) {
        return status;
    }
    return file->EnumSubkey(place.path, index, name);
}

LONG WinePrefixStore::SetValue(const KeyPath& key, std::string_view value_name, DWORD type,
                               std::string_view data) {
    const Place place = PlaceOf(key);
    RegFile* file = nullptr;
    if (const LONG status = FileFor(place, &file)) {
        return status;
    }
    return file->SetValue(place.path, value_name, type, data);
}

}  // namespace standin
