// The registry services of the Win32 API over a RegistryStore, keeping the
// platform's contracts: statuses, handle ownership and access checks.

#include "standin/registry_services.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>

#include "standin/journal.h"

namespace standin {
namespace {

struct OpenedKey {
    KeyPath key;
    REGSAM access;
};

constexpr const char* ROOT_NAMES[] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};
constexpr std::uintptr_t FIRST_ROOT = 0x80000000;
constexpr std::uintptr_t FIRST_HANDLE = 0x100;  // below the roots, never null
constexpr std::uintptr_t HANDLE_STEP = 4;
// The A services convert a subkey path through a fixed buffer of MAX_PATH + 1
// wide characters; a longer path is refused with ERROR_MORE_DATA.
constexpr std::size_t LONGEST_SUBKEY_PATH = 260;

// Before a store is chosen, no key exists.
class NoStore : public RegistryStore {
public:
    LONG OpenKey(const KeyPath&) override { return ERROR_FILE_NOT_FOUND; }
    LONG EnumSubkey(const KeyPath&, DWORD, std::string*) override { return ERROR_FILE_NOT_FOUND; }
    LONG SetValue(const KeyPath&, std::string_view, DWORD, std::string_view) override {
        return ERROR_FILE_NOT_FOUND;
    }
};

NoStore no_store;
RegistryStore* store = &no_store;
std::map<HKEY, OpenedKey> opened_keys;
std::uintptr_t next_handle = FIRST_HANDLE;

const char* RootName(HKEY key) {
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (value >= FIRST_ROOT && value < FIRST_ROOT + std::size(ROOT_NAMES)) {
        return ROOT_NAMES[value - FIRST_ROOT];
    }
    return nullptr;
}

// Predefined roots are always open, with every access right.
std::optional<OpenedKey> Resolve(HKEY key) {
    if (RootName(key) != nullptr) {
        return OpenedKey{KeyPath{key, ""}, ~REGSAM{0}};
    }
    const auto found = opened_keys.find(key);
    if (found == opened_keys.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string Describe(HKEY key) {
    const std::optional<OpenedKey> opened = Resolve(key);
    if (!opened) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%jx",
                      static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(key)));
        return text;
    }
    std::string text = RootName(opened->key.root);
    return opened->key.path.empty() ? text : text + "\\" + opened->key.path;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

LONG OpenBelow(HKEY parent, std::string_view subkey, REGSAM access, PHKEY result) {
    const std::optional<OpenedKey> base = Resolve(parent);
    if (!base) {
        return ERROR_INVALID_HANDLE;
    }
    if (subkey.size() > LONGEST_SUBKEY_PATH) {
        return ERROR_MORE_DATA;
    }
    if (subkey.starts_with('\\')) {
        return ERROR_BAD_PATHNAME;
    }
    if (subkey.ends_with('\\')) {
        subkey.remove_suffix(1);
    }
    KeyPath key = base->key;
    if (!subkey.empty()) {
        key.path += key.path.empty() ? "" : "\\";
        key.path += subkey;
    }
    const LONG status = store->OpenKey(key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const auto handle = reinterpret_cast<HKEY>(next_handle);
    next_handle += HANDLE_STEP;
    opened_keys[handle] = OpenedKey{std::move(key), access};
    *result = handle;
    return ERROR_SUCCESS;
}

LONG EnumBelow(HKEY key, DWORD index, LPSTR name, DWORD name_size, std::string* found) {
    const std::optional<OpenedKey> opened = Resolve(key);
    if (!opened) {
        return ERROR_INVALID_HANDLE;
    }
    const LONG status = store->EnumSubkey(opened->key, index, found);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (found->size() + 1 > name_size) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, found->c_str(), found->size() + 1);
    return ERROR_SUCCESS;
}

LONG SetBelow(HKEY key, std::string_view value_name, DWORD type, std::string_view data) {
    const std::optional<OpenedKey> opened = Resolve(key);
    if (!opened) {
        return ERROR_INVALID_HANDLE;
    }
    if ((opened->access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    return store->SetValue(opened->key, value_name, type, data);
}

// Every service that a test may make fail: the planned failure or the call
// itself, then its journal entry, built only when a test watches.
template <typename Call, typename Entry>
LONG Serve(std::string_view function, Call call, Entry entry) {
    LONG status = PlannedFailure(function);
    if (status == ERROR_SUCCESS) {
        status = call();
    }
    if (Journaling()) {
        Record(entry(status));
    }
    return status;
}

}  // namespace

void UseStore(RegistryStore* replacement) {
    store = replacement != nullptr ? replacement : &no_store;
}

int OpenHandleCount() {
    return static_cast<int>(opened_keys.size());
}

}  // namespace standin

using namespace standin;

LONG WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result) {
    const std::string_view path = subkey != nullptr ? subkey : "";
    return Serve(
        "RegOpenKeyExA", [&] { return OpenBelow(parent, path, access, result); },
        [&](LONG status) {
            return "RegOpenKeyExA(" + Describe(parent) + ", " + Quote(path) + ", " +
                   std::to_string(options) + ", " + Hex(access) + ") = " + std::to_string(status);
        });
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD name_size) {
    std::string found;
    return Serve(
        "RegEnumKeyA", [&] { return EnumBelow(key, index, name, name_size, &found); },
        [&](LONG status) {
            return "RegEnumKeyA(" + Describe(key) + ", " + std::to_string(index) + ", " +
                   std::to_string(name_size) + ") = " + std::to_string(status) +
                   (status == ERROR_SUCCESS ? " " + Quote(found) : "");
        });
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR value_name, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD size) {
    const std::string_view name = value_name != nullptr ? value_name : "";
    const std::string_view bytes(reinterpret_cast<const char*>(data), data != nullptr ? size : 0);
    return Serve(
        "RegSetValueExA", [&] { return SetBelow(key, name, type, bytes); },
        [&](LONG status) {
            return "RegSetValueExA(" + Describe(key) + ", " + Quote(name) + ", " +
                   std::to_string(reserved) + ", " + std::to_string(type) + ", " + Quote(bytes) +
                   ", " + std::to_string(size) + ") = " + std::to_string(status);
        });
}

LONG WINAPI RegCloseKey(HKEY key) {
    const std::string entry = Journaling() ? "RegCloseKey(" + Describe(key) + ")" : "";
    LONG status = ERROR_SUCCESS;
    if (RootName(key) == nullptr && opened_keys.erase(key) == 0) {
        status = ERROR_INVALID_HANDLE;
    }
    if (Journaling()) {
        Record(entry + " = " + std::to_string(status));
    }
    return status;
}

int WINAPI lstrcmpA(LPCSTR first, LPCSTR second) {
    return std::strcmp(first, second);
}
