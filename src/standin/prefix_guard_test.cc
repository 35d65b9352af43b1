#include "standin/prefix_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "standin/test_folder.h"

namespace {

namespace fs = std::filesystem;
using standin::PrefixGuard;

class PrefixGuardTest : public ::testing::Test {
protected:
    void SetUp() override { prefix_ = standin::MakeTestFolder(); }
    void TearDown() override {
        PrefixGuard::SetLockWait(std::chrono::seconds(30));
        PrefixGuard::SetProcessFolder("/proc");
        fs::remove_all(prefix_);
    }

    // What Acquire says and returns, on a guard of its own.
    std::pair<LONG, std::string> Acquire(const std::string& prefix) const {
        ::testing::internal::CaptureStderr();
        PrefixGuard guard(prefix);
        const LONG status = guard.Acquire();
        return {status, ::testing::internal::GetCapturedStderr()};
    }

    fs::path prefix_;
};

// Starts `program` (a copy of sleep, named as the test needs) working in
// `folder`, and returns once the system shows it under its name.
pid_t RunIn(const fs::path& folder, const fs::path& program) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) == 0) {
            execl(program.c_str(), program.filename().c_str(), "60", nullptr);
        }
        _exit(127);
    }
    const std::string comm = "/proc/" + std::to_string(child) + "/comm";
    for (int i = 0; i < 500; ++i) {
        std::string name;
        std::getline(std::ifstream(comm), name);
        if (name == program.filename().string().substr(0, 15)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return child;
}

// A server is found by where it works, wherever its TMPDIR put its socket
// folder: that folder is named after the prefix's device and inode, and
// while it loads or saves the registry it works in the prefix itself.
TEST_F(PrefixGuardTest, RunningWineserverIsRefused) {
    struct stat info {};
    ASSERT_EQ(stat(prefix_.c_str(), &info), 0);
    char server[64];
    std::snprintf(server, sizeof server, "server-%llx-%llx",
                  static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    const fs::path socket_folder = prefix_ / "other-tmpdir" / "wine-AbCdEf" / server;
    fs::create_directories(socket_folder);
    const fs::path programs = prefix_ / "bin";
    fs::create_directories(programs);
    for (const char* name : {"wineserver64", "sleep"}) {
        fs::copy_file("/bin/sleep", programs / name);
    }
    const struct {
        fs::path folder;
        const char* program;
        bool refused;
    } cases[] = {
        {socket_folder, "sleep", true},
        {prefix_, "wineserver64", true},
        {prefix_, "sleep", false},  // a shell in the prefix is no server
    };
    for (const auto& c : cases) {
        const pid_t child = RunIn(c.folder, programs / c.program);
        const auto [status, told] = Acquire(prefix_.string());
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_EQ(status, c.refused ? ERROR_LOCK_VIOLATION : ERROR_SUCCESS) << c.folder;
        EXPECT_EQ(told.find("a wineserver is running for " + prefix_.string() +
                            "; it keeps the registry in memory and would overwrite any "
                            "change. Stop it with 'wineserver -k'") != std::string::npos,
                  c.refused)
            << told;
    }
    EXPECT_EQ(Acquire(prefix_.string()).first, ERROR_SUCCESS);  // the server has gone
}

TEST_F(PrefixGuardTest, CheckThatCannotBeMadeRefuses) {
    PrefixGuard::SetProcessFolder((prefix_ / "no-proc").string());
    const auto [status, told] = Acquire(prefix_.string());
    EXPECT_EQ(status, ERROR_ACCESS_DENIED);
    EXPECT_NE(told.find("cannot tell whether a wineserver is running"), std::string::npos) << told;
}

TEST_F(PrefixGuardTest, PrefixAsWineTakesIt) {
    const struct {
        std::string prefix;
        LONG status;
        const char* told;
    } cases[] = {
        {"relative/prefix", ERROR_BAD_PATHNAME,
         "invalid directory relative/prefix in WINEPREFIX: not an absolute path"},
        {(prefix_ / "none").string(), ERROR_FILE_NOT_FOUND, ": no Wine prefix there"},
        {prefix_.string(), ERROR_SUCCESS, ""},
    };
    for (const auto& c : cases) {
        const auto [status, told] = Acquire(c.prefix);
        EXPECT_EQ(status, c.status) << c.prefix;
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
    }
}

TEST_F(PrefixGuardTest, WaitForAnotherRunIsToldAndBounded) {
    PrefixGuard::SetLockWait(std::chrono::milliseconds(300));
    const int other = open(prefix_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    const auto [gave_up, told] = Acquire(prefix_.string());
    EXPECT_EQ(gave_up, ERROR_LOCK_VIOLATION);
    const std::string waiting = "another run of tonvane is changing it; waiting for it";
    EXPECT_NE(told.find(waiting), std::string::npos) << told;
    EXPECT_EQ(told.find(waiting), told.rfind(waiting)) << "said more than once: " << told;
    EXPECT_NE(told.find("still holds it after 300 ms; nothing changed"), std::string::npos);

    // A lock given up while the run waits is taken.
    PrefixGuard::SetLockWait(std::chrono::seconds(10));
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        close(other);
    });
    EXPECT_EQ(Acquire(prefix_.string()).first, ERROR_SUCCESS);
    release.join();
}

TEST_F(PrefixGuardTest, StaleTemporaryIsRemovedOnceLocked) {
    std::ofstream(prefix_ / "userdef.reg.tonvane-Qw3rTy") << "half";
    EXPECT_EQ(Acquire(prefix_.string()).first, ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(prefix_ / "userdef.reg.tonvane-Qw3rTy"));
}

}  // namespace
