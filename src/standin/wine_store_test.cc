#include "standin/wine_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "standin/test_folder.h"

namespace {

namespace fs = std::filesystem;
using standin::KeyPath;
using standin::WinePrefixStore;

constexpr char MIDIMAP[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap";

class WinePrefixStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_ = standin::MakeTestFolder();
        Write("system.reg", "[System\\\\Setup] 1\n\"v\"=\"system\"\n");
        Write("userdef.reg", std::string("[") +
                                 "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion" +
                                 "\\\\Multimedia\\\\MIDIMap] 1\n#time=1\n\n");
        Write("user.reg", "[Console] 1\n");
    }
    void TearDown() override { fs::remove_all(prefix_); }

    void Write(const char* name, const std::string& body) const {
        std::ofstream(prefix_ / name) << "WINE REGISTRY Version 2\n" << body;
    }
    std::string Read(const char* name) const {
        std::ostringstream text;
        text << std::ifstream(prefix_ / name).rdbuf();
        return text.str();
    }

    fs::path prefix_;
};

TEST_F(WinePrefixStoreTest, EachRootIsItsFile) {
    WinePrefixStore store(prefix_.string());
    const struct {
        HKEY root;
        const char* path;
        LONG status;
    } cases[] = {
        {HKEY_LOCAL_MACHINE, "system\\setup", 0},
        {HKEY_USERS, "", 0},
        {HKEY_USERS, ".DEFAULT", 0},
        {HKEY_USERS, ".Default\\Software\\Microsoft", 0},
        {HKEY_USERS, "S-1-5-21\\Software", 2},
        {HKEY_CURRENT_USER, "Console", 0},
        {HKEY_CLASSES_ROOT, "", 2},
        {HKEY_CURRENT_CONFIG, "System", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(store.OpenKey(KeyPath{c.root, c.path}), c.status) << c.path;
    }
}

TEST_F(WinePrefixStoreTest, MissingPrefixOrFileIsToldAndFails) {
    ::testing::internal::CaptureStderr();
    WinePrefixStore nowhere((prefix_ / "none").string());
    EXPECT_NE(nowhere.OpenKey(KeyPath{HKEY_LOCAL_MACHINE, "System"}), ERROR_SUCCESS);
    fs::remove(prefix_ / "system.reg");
    WinePrefixStore store(prefix_.string());
    EXPECT_NE(store.OpenKey(KeyPath{HKEY_LOCAL_MACHINE, "System"}), ERROR_SUCCESS);
    EXPECT_EQ(store.OpenKey(KeyPath{HKEY_CURRENT_USER, "Console"}), ERROR_SUCCESS);
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find((prefix_ / "none").string() + ": no Wine prefix"), std::string::npos);
    EXPECT_NE(told.find((prefix_ / "system.reg").string() + ": cannot be read"), std::string::npos);
}

TEST_F(WinePrefixStoreTest, MalformedFileIsNeverWrittenBack) {
    const std::string cut = "[" + std::string(MIDIMAP) + "] 1\n\"CurrentInstrument\"=\"fm";
    Write("userdef.reg", cut);
    WinePrefixStore store(prefix_.string());
    ::testing::internal::CaptureStderr();
    EXPECT_NE(store.SetValue(KeyPath{HKEY_USERS, std::string(".Default\\") + MIDIMAP},
                             "CurrentInstrument", REG_SZ, std::string_view("x", 2)),
              ERROR_SUCCESS);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("userdef.reg:3:"), std::string::npos);
    EXPECT_EQ(Read("userdef.reg"), "WINE REGISTRY Version 2\n" + cut);
}

TEST_F(WinePrefixStoreTest, RunsAtOnceLoseNoUpdate) {
    constexpr int RUNS = 6;
    std::vector<pid_t> children;
    for (int run = 0; run < RUNS; ++run) {
        const pid_t child = fork();
        if (child == 0) {
            WinePrefixStore store(prefix_.string());
            const std::string name = "Value" + std::to_string(run);
            const LONG status =
                store.SetValue(KeyPath{HKEY_USERS, std::string(".Default\\") + MIDIMAP}, name,
                               REG_SZ, std::string_view("x", 2));
            _exit(status == ERROR_SUCCESS ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0);
    }
    const std::string text = Read("userdef.reg");
    for (int run = 0; run < RUNS; ++run) {
        EXPECT_NE(text.find("\"Value" + std::to_string(run) + "\"=\"x\"\n"), std::string::npos)
            << text;
    }
}

}  // namespace
