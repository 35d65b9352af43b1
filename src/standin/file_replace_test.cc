#include "standin/file_replace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "standin/test_folder.h"

namespace {

namespace fs = std::filesystem;
using standin::FailReplaceAt;
using standin::ReplaceFile;
using standin::ReplaceStep;

class FileReplaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = standin::MakeTestFolder();
        path_ = (folder_ / "userdef.reg").string();
        std::ofstream(path_) << "old\n";
    }
    void TearDown() override {
        FailReplaceAt(ReplaceStep::kNone);
        fs::remove_all(folder_);
    }

    static LONG Replace(const std::string& path, const std::string& text) {
        return ReplaceFile(path, [&](int fd) {
            return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        });
    }
    static std::string Read(const std::string& path) {
        std::ostringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }

    fs::path folder_;
    std::string path_;
};

TEST_F(FileReplaceTest, FailureAtAnyStepLeavesTheOldFileAndNothingBeside) {
    for (const auto step :
         {ReplaceStep::kCreate, ReplaceStep::kWrite, ReplaceStep::kSync, ReplaceStep::kRename}) {
        FailReplaceAt(step);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Replace(path_, "new\n"), ERROR_REGISTRY_IO_FAILED);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("it is left as it was"),
                  std::string::npos);
        EXPECT_EQ(Read(path_), "old\n");
        EXPECT_EQ(FilesInFolder(), 1u);
    }
}

TEST_F(FileReplaceTest, FolderNotFlushedIsReportedThoughTheFileChanged) {
    FailReplaceAt(ReplaceStep::kFolderSync);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Replace(path_, "new\n"), ERROR_REGISTRY_IO_FAILED);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("may not survive a crash"),
              std::string::npos);
    EXPECT_EQ(Read(path_), "new\n");
}

TEST_F(FileReplaceTest, OwnerGroupAndModeAreKept) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "giving a file to another owner needs root";
    }
    ASSERT_EQ(chown(path_.c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
    EXPECT_EQ(Replace(path_, "new\n"), ERROR_SUCCESS);
    struct stat info {};
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 8765u);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(Read(path_), "new\n");
}

// A run that may not give the new file the old one's owner changes nothing.
TEST_F(FileReplaceTest, OwnerThatCannotBeKeptIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a child as another user";
    }
    ASSERT_EQ(chown(path_.c_str(), 4321, 4321), 0);
    ASSERT_EQ(chmod(path_.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0777), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(2);
        }
        _exit(Replace(path_, "new\n") == ERROR_REGISTRY_IO_FAILED ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Read(path_), "old\n");
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(FileReplaceTest, SymbolicLinkIsKeptAndItsFileReplaced) {
    const fs::path target = folder_ / "elsewhere.reg";
    fs::rename(path_, target);
    fs::create_symlink(target, path_);
    EXPECT_EQ(Replace(path_, "new\n"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Read(target.string()), "new\n");
}

TEST_F(FileReplaceTest, OnlyRegularFilesAreOpened) {
    LONG status = ERROR_SUCCESS;
    const int fd = standin::OpenRegularFile(path_, &status);
    EXPECT_GE(fd, 0);
    close(fd);
    const std::string fifo = (folder_ / "system.reg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* told;
        LONG status;
    } cases[] = {
        {fifo, "not a regular file; refused", ERROR_ACCESS_DENIED},  // would block for ever
        {folder_.string(), "not a regular file; refused", ERROR_ACCESS_DENIED},
        {"/dev/null", "not a regular file; refused", ERROR_ACCESS_DENIED},
        {(folder_ / "none.reg").string(), "cannot be read", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(standin::OpenRegularFile(c.path, &status), -1) << c.path;
        EXPECT_EQ(status, c.status) << c.path;
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find(c.path + ": " + c.told), std::string::npos) << told;
    }
}

TEST_F(FileReplaceTest, SignalledRunRemovesItsTemporaryFile) {
    const pid_t child = fork();
    if (child == 0) {
        standin::RemoveTemporaryOnSignals();
        FailReplaceAt(ReplaceStep::kSignal);  // SIGTERM once the new copy is written
        Replace(path_, "new\n");
        _exit(0);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(Read(path_), "old\n");
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(FileReplaceTest, StaleTemporariesAreRemovedByName) {
    const char* stale[] = {"userdef.reg.tonvane-a1B2c3", "system.reg.tonvane-XXXXXX"};
    const char* kept[] = {"notes.txt.tonvane-a1B2c3", "userdef.reg.tonvane-a1B2c3d",
                          "userdef.reg.tonvane-"};
    for (const char* name : stale) {
        std::ofstream(folder_ / name) << "x";
    }
    for (const char* name : kept) {
        std::ofstream(folder_ / name) << "x";
    }
    standin::RemoveStaleTemporaries(folder_.string());
    for (const char* name : stale) {
        EXPECT_FALSE(fs::exists(folder_ / name)) << name;
    }
    for (const char* name : kept) {
        EXPECT_TRUE(fs::exists(folder_ / name)) << name;
    }
}

}  // namespace
