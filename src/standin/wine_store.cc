#include "standin/wine_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "standin/text_fold.h"

namespace standin {
namespace {

constexpr char DEFAULT_USER[] = ".default";  // folded

// The folders where a running wineserver for the prefix keeps its lock:
// upstream Wine's, and the one Debian's Wine names in the prefix's
// "wineserver" file.
std::vector<std::string> ServerFolders(const std::string& prefix, const struct stat& info) {
    char server[64];
    std::snprintf(server, sizeof server, "/server-%llx-%llx",
                  static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    const char* tmp = std::getenv("TMPDIR");
    const std::string tmp_dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::vector<std::string> folders = {"/tmp/.wine-" + std::to_string(getuid()) + server};
    std::ifstream named(prefix + "/wineserver");
    std::string folder;
    if (std::getline(named, folder) && !folder.empty()) {
        folders.push_back((folder[0] == '/' ? folder : tmp_dir + "/" + folder) + server);
        if (tmp_dir != "/tmp" && folder[0] != '/') {
            folders.push_back("/tmp/" + folder + server);
        }
    }
    return folders;
}

}  // namespace

WinePrefixStore::WinePrefixStore(std::string prefix) : prefix_(std::move(prefix)) {}

WinePrefixStore::~WinePrefixStore() {
    if (lock_ >= 0) {
        close(lock_);
    }
}

std::string WinePrefixStore::DefaultPrefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix != nullptr && *prefix != '\0') {
        return prefix;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.wine";
}

// A running wineserver holds a lock on the file "lock" in its folder.
bool WinePrefixStore::WineserverRunning() const {
    struct stat info {};
    if (stat(prefix_.c_str(), &info) != 0) {
        return false;
    }
    for (const std::string& folder : ServerFolders(prefix_, info)) {
        const int fd = open((folder + "/lock").c_str(), O_RDWR);
        if (fd < 0) {
            continue;
        }
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        const bool held = fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        close(fd);
        if (held) {
            return true;
        }
    }
    return false;
}

// Done once, before the first file is read: the prefix is there, no
// wineserver holds its registry, and no other run of ours is changing it.
LONG WinePrefixStore::Prepare() {
    if (prepared_ != -1) {
        return prepared_;
    }
    lock_ = open(prefix_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ < 0) {
        std::fprintf(stderr, "tonvane: %s: no Wine prefix there\n", prefix_.c_str());
        return prepared_ = ERROR_FILE_NOT_FOUND;
    }
    flock(lock_, LOCK_EX);
    if (WineserverRunning()) {
        std::fprintf(stderr,
                     "tonvane: a wineserver is running for %s; it keeps the registry in memory "
                     "and would overwrite any change. Stop it with 'wineserver -k', or run "
                     "'wine tonvane.exe' instead.\n",
                     prefix_.c_str());
        return prepared_ = ERROR_LOCK_VIOLATION;
    }
    return prepared_ = ERROR_SUCCESS;
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
        if (FoldCase(key.path.substr(0, end)) == DEFAULT_USER) {
            return Place{"userdef.reg",
                         end == std::string::npos ? std::string() : key.path.substr(end + 1)};
        }
    }
    return Place{nullptr, ""};
}

LONG WinePrefixStore::FileFor(const Place& place, RegFile** file) {
    if (place.file == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const LONG status = Prepare()) {
        return status;
    }
    auto [entry, fresh] = files_.try_emplace(place.file);
    if (fresh) {
        entry->second.first = entry->second.second.Load(prefix_ + "/" + place.file);
    }
    *file = &entry->second.second;
    return entry->second.first;
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
