#include "standin/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "standin/complain.h"

namespace standin {
namespace {

// A temporary file is the file's name, this mark and six characters that
// mkstemp picks: the next run knows a stale one by that.
constexpr std::string_view TEMPORARY_MARK = ".tonvane-";
constexpr std::string_view REGISTRY_SUFFIX = ".reg";
constexpr std::size_t RANDOM_PART = 6;

ReplaceStep failing_step = ReplaceStep::kNone;

// The temporary file being written, for the signal handler: plain memory,
// since nothing else may be touched there.
char temporary_name[PATH_MAX];
volatile sig_atomic_t temporary_exists = 0;
constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveTemporaryAndDie(int signal_number) {
    if (temporary_exists != 0) {
        unlink(temporary_name);
    }
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// Blocks the cleanup signals while the temporary file and its record are
// made or dropped together.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int s : CLEANUP_SIGNALS) {
            sigaddset(&held, s);
        }
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

int CreateTemporary(const std::string& target) {
    const std::string pattern = target + std::string(TEMPORARY_MARK) + "XXXXXX";
    if (failing_step == ReplaceStep::kCreate || pattern.size() >= sizeof temporary_name) {
        return -1;
    }
    SignalsHeld held;
    std::memcpy(temporary_name, pattern.c_str(), pattern.size() + 1);
    const int fd = mkostemp(temporary_name, O_CLOEXEC);
    temporary_exists = fd >= 0 ? 1 : 0;
    return fd;
}

void DropTemporary(bool remove) {
    SignalsHeld held;
    if (remove && temporary_exists != 0) {
        unlink(temporary_name);
    }
    temporary_exists = 0;
}

// The new file gets the old one's owner and group, or is not written at all:
// a run as root must not take a user's registry from them.
const char* TakeOwnerAndMode(int fd, const struct stat& original) {
    struct stat created {};
    if (fstat(fd, &created) != 0) {
        return "the new copy cannot be examined";
    }
    if ((created.st_uid != original.st_uid || created.st_gid != original.st_gid) &&
        fchown(fd, original.st_uid, original.st_gid) != 0) {
        return "the new copy cannot be given the old one's owner and group, which this run "
               "may not set; refused rather than change them";
    }
    if (fchmod(fd, original.st_mode & 07777) != 0) {
        return "the new copy cannot be given the old one's mode";
    }
    return nullptr;
}

const char* WriteAndFlush(int fd, const std::function<bool(int fd)>& write) {
    if (failing_step == ReplaceStep::kWrite || !write(fd)) {
        return "the new copy cannot be written";
    }
    if (failing_step == ReplaceStep::kSignal) {
        ::raise(SIGTERM);
    }
    if (failing_step == ReplaceStep::kSync || fsync(fd) != 0) {
        return "the new copy cannot be flushed to disk";
    }
    return nullptr;
}

bool FlushFolder(const std::string& target) {
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = dir >= 0 && failing_step != ReplaceStep::kFolderSync && fsync(dir) == 0;
    if (dir >= 0) {
        close(dir);
    }
    return flushed;
}

bool IsStaleTemporary(std::string_view name) {
    const std::size_t mark = name.rfind(TEMPORARY_MARK);
    return mark != std::string_view::npos && name.substr(0, mark).ends_with(REGISTRY_SUFFIX) &&
           name.size() == mark + TEMPORARY_MARK.size() + RANDOM_PART;
}

}  // namespace

void FailReplaceAt(ReplaceStep step) {
    failing_step = step;
}

int OpenRegularFile(const std::string& path, LONG* status) {
    // Looked at before it is opened: opening a FIFO or a device may block or
    // do something of its own. Looked at again once open, in case it changed.
    struct stat info {};
    int fd = -1;
    if (stat(path.c_str(), &info) != 0 ||
        (S_ISREG(info.st_mode) &&
         (fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) < 0)) {
        const int error = errno;
        Complain("%s: cannot be read: %s", path.c_str(), std::strerror(error));
        *status = error == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
        return -1;
    }
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) {
            close(fd);
        }
        Complain("%s: not a regular file; refused", path.c_str());
        *status = ERROR_ACCESS_DENIED;
        return -1;
    }
    return fd;
}

LONG ReplaceFile(const std::string& path, const std::function<bool(int fd)>& write) {
    char resolved[PATH_MAX];
    struct stat original {};
    const char* failed = nullptr;
    int fd = -1;
    if (realpath(path.c_str(), resolved) == nullptr || stat(resolved, &original) != 0) {
        failed = "cannot be examined";
    } else if ((fd = CreateTemporary(resolved)) < 0) {
        failed = "a new copy cannot be created beside it";
    } else if ((failed = TakeOwnerAndMode(fd, original)) == nullptr) {
        failed = WriteAndFlush(fd, write);
    }
    if (fd >= 0 && close(fd) != 0 && failed == nullptr) {
        failed = "the new copy cannot be written";
    }
    if (failed == nullptr &&
        (failing_step == ReplaceStep::kRename || rename(temporary_name, resolved) != 0)) {
        failed = "the new copy cannot replace it";
    }
    DropTemporary(failed != nullptr);
    if (failed != nullptr) {
        Complain("%s: %s; it is left as it was", path.c_str(), failed);
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (!FlushFolder(resolved)) {
        Complain(
            "%s: changed, but its folder cannot be flushed to disk: the change may not "
            "survive a crash",
            path.c_str());
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (IsStaleTemporary(entry->d_name)) {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
    }
    closedir(dir);
}

void RemoveTemporaryOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    for (const int s : CLEANUP_SIGNALS) {
        sigaction(s, &action, nullptr);
    }
}

}  // namespace standin
