#include "registry/key_path.h"

#include <cstring>

#include "common/text.h"

namespace {

constexpr std::size_t ROOT_NAME_SIZE = 1024;
constexpr char PATH_SEPARATOR[] = "\\";

struct RootKey {
    const char* name;
    HKEY handle;
};

const RootKey ROOT_KEYS[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

// Opens the key at `path`, sets one value on it and closes it again.
LONG SetValue(const char* path, const char* value_name, DWORD type, const BYTE* data, DWORD size) {
    HKEY key;
    const LONG opened = OpenKeyByPath(path, &key, KEY_SET_VALUE);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    const LONG set = RegSetValueExA(key, value_name, 0, type, data, size);
    RegCloseKey(key);
    return set;
}

}  // namespace

HKEY RootKeyFromName(const char* name) {
    for (const RootKey& root : ROOT_KEYS) {
        if (lstrcmpA(name, root.name) == 0) {
            return root.handle;
        }
    }
    return nullptr;
}

LONG OpenKeyByPath(const char* path, HKEY* key, REGSAM access) {
    const std::size_t root_length = TokenLength(PATH_SEPARATOR, path);
    // Without a root there is no handle to open below, and the platform would
    // take a null parent for a key of its own choosing.
    if (root_length == 0 || root_length >= ROOT_NAME_SIZE) {
        return ERROR_BAD_PATHNAME;
    }
    char root_name[ROOT_NAME_SIZE];
    const char* rest = CopyToken(PATH_SEPARATOR, root_name, path);
    const HKEY root = RootKeyFromName(root_name);
    if (*rest == '\0') {
        *key = root;
        return ERROR_SUCCESS;
    }
    return RegOpenKeyExA(root, rest + 1, 0, access, key);
}

LONG SetStringValue(const char* path, const char* value_name, const char* text) {
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return SetValue(path, value_name, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
}

LONG SetDwordValue(const char* path, const char* value_name, DWORD value) {
    const BYTE bytes[4] = {
        static_cast<BYTE>(value),
        static_cast<BYTE>(value >> 8),
        static_cast<BYTE>(value >> 16),
        static_cast<BYTE>(value >> 24),
    };
    return SetValue(path, value_name, REG_DWORD, bytes, sizeof bytes);
}
