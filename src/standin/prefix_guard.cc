#include "standin/prefix_guard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "standin/complain.h"
#include "standin/file_replace.h"

namespace standin {
namespace {

std::chrono::milliseconds lock_wait = std::chrono::seconds(30);
std::string process_folder = "/proc";
constexpr auto LOCK_POLL = std::chrono::milliseconds(50);

// A wineserver works inside a folder named after the prefix's device and
// inode, wherever its TMPDIR put that folder.
std::string ServerFolderName(const struct stat& prefix) {
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx",
                  static_cast<unsigned long long>(prefix.st_dev),
                  static_cast<unsigned long long>(prefix.st_ino));
    return name;
}

bool IsProcessId(const char* name) {
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    return *name != '\0';
}

enum class Seen { kElsewhere, kInFolder, kHidden };

bool IsNamedWineserver(const std::string& process) {
    char name[16] = {};
    const int fd = open((process + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    const bool named = fd >= 0 && read(fd, name, sizeof name - 1) > 0 &&
                       std::string_view(name).starts_with("wineserver");
    if (fd >= 0) {
        close(fd);
    }
    return named;
}

// Where the process works, if this run may look. A wineserver works in its
// socket folder, and in the prefix itself while it loads or saves the
// registry. Some processes may not be looked at even by root (the sandbox's
// own, Wine's programs); only a wineserver of the prefix's owner hidden so
// stops the run.
Seen LookAtProcess(const std::string& process, const std::string& folder_name,
                   const struct stat& prefix) {
    char cwd[4096];
    const std::string cwd_link = process + "/cwd";
    const ssize_t length = readlink(cwd_link.c_str(), cwd, sizeof cwd - 1);
    if (length < 0) {
        struct stat info {};
        const bool hidden = errno != ENOENT && stat(process.c_str(), &info) == 0 &&
                            info.st_uid == prefix.st_uid && IsNamedWineserver(process);
        return hidden ? Seen::kHidden : Seen::kElsewhere;
    }
    if (std::string_view(cwd, static_cast<std::size_t>(length)).ends_with("/" + folder_name)) {
        return Seen::kInFolder;
    }
    struct stat folder {};
    const bool in_prefix = stat(cwd_link.c_str(), &folder) == 0 && folder.st_dev == prefix.st_dev &&
                           folder.st_ino == prefix.st_ino;
    return in_prefix && IsNamedWineserver(process) ? Seen::kInFolder : Seen::kElsewhere;
}

}  // namespace

void PrefixGuard::SetLockWait(std::chrono::milliseconds wait) {
    lock_wait = wait;
}

void PrefixGuard::SetProcessFolder(std::string folder) {
    process_folder = std::move(folder);
}

PrefixGuard::PrefixGuard(std::string prefix) : prefix_(std::move(prefix)) {}

PrefixGuard::~PrefixGuard() {
    if (lock_ >= 0) {
        close(lock_);
    }
}

LONG PrefixGuard::Acquire() {
    if (!status_) {
        status_ = Take();
    }
    return *status_;
}

LONG PrefixGuard::Take() {
    if (prefix_.empty() || prefix_[0] != '/') {
        Complain("invalid directory %s in WINEPREFIX: not an absolute path", prefix_.c_str());
        return ERROR_BAD_PATHNAME;
    }
    if (const LONG status = TakeLock()) {
        return status;
    }
    if (const LONG status = CheckNoWineserver()) {
        return status;
    }
    RemoveStaleTemporaries(prefix_);  // ours, left by a killed run; we hold the lock
    return ERROR_SUCCESS;
}

// One run at a time changes a prefix; a run that finds it taken waits a
// bounded time, saying so, and never goes ahead unlocked.
LONG PrefixGuard::TakeLock() {
    lock_ = open(prefix_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ < 0) {
        Complain("%s: no Wine prefix there", prefix_.c_str());
        return ERROR_FILE_NOT_FOUND;
    }
    const auto deadline = std::chrono::steady_clock::now() + lock_wait;
    for (bool told = false; flock(lock_, LOCK_EX | LOCK_NB) != 0;) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            Complain("%s: cannot be locked (%s); nothing changed", prefix_.c_str(),
                     std::strerror(errno));
            return ERROR_LOCK_VIOLATION;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Complain("%s: another run still holds it after %lld ms; nothing changed",
                     prefix_.c_str(), static_cast<long long>(lock_wait.count()));
            return ERROR_LOCK_VIOLATION;
        }
        if (!told) {
            Complain("%s: another run of tonvane is changing it; waiting for it", prefix_.c_str());
            told = true;
        }
        std::this_thread::sleep_for(LOCK_POLL);
    }
    return ERROR_SUCCESS;
}

// Looks at every process this run may see; when it cannot look, it refuses.
LONG PrefixGuard::CheckNoWineserver() const {
    struct stat prefix {};
    DIR* processes = nullptr;
    if (fstat(lock_, &prefix) != 0 || (processes = opendir(process_folder.c_str())) == nullptr) {
        Complain(
            "cannot tell whether a wineserver is running for %s: %s cannot be read (%s); "
            "refused",
            prefix_.c_str(), process_folder.c_str(), std::strerror(errno));
        return ERROR_ACCESS_DENIED;
    }
    const std::string folder_name = ServerFolderName(prefix);
    Seen seen = Seen::kElsewhere;
    while (const dirent* entry = readdir(processes)) {
        if (IsProcessId(entry->d_name)) {
            seen = LookAtProcess(process_folder + "/" + entry->d_name, folder_name, prefix);
            if (seen != Seen::kElsewhere) {
                break;
            }
        }
    }
    closedir(processes);
    if (seen == Seen::kInFolder) {
        Complain(
            "a wineserver is running for %s; it keeps the registry in memory and would "
            "overwrite any change. Stop it with 'wineserver -k', or run 'wine tonvane.exe' "
            "instead.",
            prefix_.c_str());
        return ERROR_LOCK_VIOLATION;
    }
    if (seen == Seen::kHidden) {
        Complain(
            "cannot tell whether a wineserver is running for %s: a wineserver of its "
            "owner cannot be looked at; refused",
            prefix_.c_str());
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

}  // namespace standin
