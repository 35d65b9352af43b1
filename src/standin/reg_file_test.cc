#include "standin/reg_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "standin/file_replace.h"
#include "standin/test_folder.h"

namespace {

namespace fs = std::filesystem;
using standin::RegFile;

// Laid out as Wine writes it; "Class" exists only through the keys below it.
constexpr char SYSTEM_REG[] = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win32

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\0000\\Drivers\\midi\\fmsynth] 1796982861
#time=1dd895598bc2a68
"Driver"="fm.drv"

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\0002] 1796982863
#time=1dd895599872240
@="default"
"bin"=hex:01,02,ff
"dw"=dword:12345678
"zz"="last"

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\0003\\Drivers\\midi\\\xe9] 1796982863
#time=1dd895599a1b646
@=""

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\0010\\Drivers\\midi\\odd "q" \[b\] back\\slash] 1796982862
#time=1dd895598ebcd36
@=""

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\a_b] 1796982863
#time=1dd895599d4d8be

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\A\[] 1796982863
#time=1dd895599d4d8be

[System\\CurrentControlSet\\Services\\Class\\MEDIA\\aZb] 1796982863
#time=1dd895599d4d8be
"long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19

)";
constexpr char MEDIA[] = "System\\CurrentControlSet\\Services\\Class\\MEDIA";

class RegFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = standin::MakeTestFolder();
        path_ = (folder_ / "system.reg").string();
        Write(SYSTEM_REG);
    }
    void TearDown() override {
        standin::FailReplaceAt(standin::ReplaceStep::kNone);
        fs::remove_all(folder_);
    }
    void Write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string OnDisk() const {
        std::ostringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }
    LONG SetString(RegFile& file, const std::string& key, const std::string& name,
                   const std::string& text) {
        return file.SetValue(key, name, REG_SZ, std::string_view(text.c_str(), text.size() + 1));
    }
    // The lines of the file on disk that differ from the original, as
    // (old, new) pairs of whole lines; for edits that keep the line count.
    std::vector<std::pair<std::string, std::string>> ChangedLines() const {
        std::istringstream before(SYSTEM_REG);
        std::istringstream after(OnDisk());
        std::vector<std::pair<std::string, std::string>> changed;
        std::string old_line, new_line;
        while (std::getline(before, old_line) && std::getline(after, new_line)) {
            if (old_line != new_line) {
                changed.emplace_back(old_line, new_line);
            }
        }
        return changed;
    }

    fs::path folder_;
    std::string path_;
};

TEST_F(RegFileTest, FindsKeysWithoutRegardToLetterCase) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    const struct {
        std::string path;
        bool exists;
    } cases[] = {
        {"", true},
        {"System", true},  // listed only through the keys below it
        {"system\\currentcontrolset\\services\\class\\media", true},
        {std::string(MEDIA) + "\\0000\\DRIVERS\\MIDI\\FMSYNTH", true},
        {std::string(MEDIA) + "\\0003\\Drivers\\midi\\\xE9", true},
        {std::string(MEDIA) + "\\0003\\Drivers\\midi\\\xC9", true},  // É folds to é
        {std::string(MEDIA) + "\\0010\\Drivers\\midi\\odd \"q\" [b] back\\slash", true},
        {std::string(MEDIA) + "\\0001", false},
        {std::string(MEDIA) + "\\0000\\Drivers\\midi\\fmsynt", false},
        {std::string(MEDIA) + "\\0000\\Drivers\\midi\\fmsynth\\x", false},
        {"System\\\\CurrentControlSet", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file.HasKey(c.path), c.exists) << c.path;
    }
}

TEST_F(RegFileTest, EnumeratesSubkeysInWinesOrder) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    std::vector<std::string> names;
    std::string name;
    for (DWORD index = 0; file.EnumSubkey(MEDIA, index, &name) == ERROR_SUCCESS; ++index) {
        names.push_back(name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"0000", "0002", "0003", "0010", "A[", "a_b", "aZb"}));
    EXPECT_EQ(file.EnumSubkey(MEDIA, 7, &name), ERROR_NO_MORE_ITEMS);
}

// The value keeps the name it was stored under, as in Wine.
TEST_F(RegFileTest, ReplacingAValueChangesOnlyItsLineAndTheStamps) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    const std::string key = std::string(MEDIA) + "\\0002";
    ASSERT_EQ(SetString(file, key, "ZZ",
                        "new \"q\" [b] \\ \t\xE9"
                        "a\x80"),
              ERROR_SUCCESS);
    const auto changed = ChangedLines();
    ASSERT_EQ(changed.size(), 3u);
    EXPECT_TRUE(changed[0].second.starts_with(
        "[System\\\\CurrentControlSet\\\\Services\\\\Class\\\\MEDIA\\\\0002] "));
    EXPECT_NE(changed[0].second, changed[0].first);
    EXPECT_TRUE(changed[1].second.starts_with("#time="));
    EXPECT_EQ(changed[2].second, R"("zz"="new \"q\" [b] \\ \t\x00e9a\x20ac")");

    const std::string number("\x01\x00\x00\x00", 4);
    ASSERT_EQ(file.SetValue(key, "DW", REG_DWORD, number), ERROR_SUCCESS);
    EXPECT_EQ(ChangedLines()[2].second, R"("dw"=dword:00000001)");
}

TEST_F(RegFileTest, NewValueGoesInNameOrder) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    ASSERT_EQ(SetString(file, std::string(MEDIA) + "\\0002", "CurrentInstrument", "fm<0002>"),
              ERROR_SUCCESS);
    EXPECT_NE(OnDisk().find("\"bin\"=hex:01,02,ff\n\"CurrentInstrument\"=\"fm<0002>\"\n\"dw\""),
              std::string::npos);
    ASSERT_EQ(SetString(file, std::string(MEDIA) + "\\a_b", "Name", "x"), ERROR_SUCCESS);
    EXPECT_NE(OnDisk().find("MEDIA\\\\a_b] "), std::string::npos);
    EXPECT_NE(OnDisk().find("\"Name\"=\"x\"\n\n[System"), std::string::npos);
}

TEST_F(RegFileTest, ValueOfAKeyWithoutItsOwnSectionGetsOneBeforeItsSubkeys) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    ASSERT_EQ(SetString(file, std::string(MEDIA) + "\\0000", "v", "x"), ERROR_SUCCESS);
    const std::string text = OnDisk();
    const std::size_t added =
        text.find("[System\\\\CurrentControlSet\\\\Services\\\\Class\\\\MEDIA\\\\0000] ");
    ASSERT_NE(added, std::string::npos);
    EXPECT_NE(text.find("\n#time=", added), std::string::npos);
    EXPECT_EQ(
        text.find("\"v\"=\"x\"\n\n["
                  "System\\\\CurrentControlSet\\\\Services\\\\Class\\\\MEDIA\\\\0000\\\\Drivers"),
        text.find("\"v\"=\"x\""));
    RegFile again;
    ASSERT_EQ(again.Load(path_), ERROR_SUCCESS);
    EXPECT_TRUE(again.HasKey(std::string(MEDIA) + "\\0000\\Drivers\\midi\\fmsynth"));
}

TEST_F(RegFileTest, MissingKeyIsNotCreated) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    EXPECT_EQ(SetString(file, std::string(MEDIA) + "\\0001", "v", "x"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OnDisk(), SYSTEM_REG);
}

TEST_F(RegFileTest, FailedSaveLeavesTheFileWholeAndNothingBeside) {
    chmod(path_.c_str(), 0640);
    for (const auto step : {standin::ReplaceStep::kCreate, standin::ReplaceStep::kWrite,
                            standin::ReplaceStep::kSync, standin::ReplaceStep::kRename}) {
        RegFile file;
        ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
        standin::FailReplaceAt(step);
        EXPECT_NE(SetString(file, std::string(MEDIA) + "\\0002", "v", "x"), ERROR_SUCCESS);
        EXPECT_EQ(OnDisk(), SYSTEM_REG);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    }
    standin::FailReplaceAt(standin::ReplaceStep::kNone);
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    EXPECT_EQ(SetString(file, std::string(MEDIA) + "\\0002", "v", "x"), ERROR_SUCCESS);
    struct stat info {};
    stat(path_.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// How Wine reads lines, learnt from real Wine loading such files: only hex
// data goes on after a line ending in a backslash; CRLF line ends are read;
// of two lines for one value, in one section or in two sections of the same
// key, the later one counts. Each change must land where Wine reads it.
TEST_F(RegFileTest, ChangeLandsWhereWineReadsIt) {
    const std::string head = "WINE REGISTRY Version 2\n";
    // A line longer than the reader holds at once.
    const std::string big = "[a] 1\n\"big\"=\"" + std::string(1 << 20, 'x') + "\\\"\"\n";
    const struct {
        const char* what;
        std::string before;
        std::string after;  // the stamps of the changed section as "S"
    } cases[] = {
        {"a comment ending in a backslash does not swallow the next header", head + R"([k] 1
;; note \
[k\\sub] 1
)",
         head + R"([k] S
;; note \
"v"="new"
[k\\sub] 1
)"},
        {"a dword line ending in a backslash does not swallow the next value", head + R"([k] 1
"d"=dword:00000001\
"v"="old"
)",
         head + R"([k] S
"d"=dword:00000001\
"v"="new"
)"},
        {"hex data goes on over its continued lines", head + R"([k] 1
"h"=hex:01,\
  "v"
"v"="old"
)",
         head + R"([k] S
"h"=hex:01,\
  "v"
"v"="new"
)"},
        {"CRLF line ends are read and kept",
         "WINE REGISTRY Version 2\r\n[k] 1\r\n#time=1\r\n\"a\"=\"x\"\r\n",
         "WINE REGISTRY Version 2\r\n[k] S\r\n#time=S\r\n\"a\"=\"x\"\r\n\"v\"=\"new\"\r\n"},
        {"of one value's two lines the later one is changed", head + R"([k] 1
"v"="first"
"V"="second"
)",
         head + R"([k] S
"v"="first"
"V"="new"
)"},
        {"of a key's two sections the later one is changed", head + R"([k] 1
"v"="first"

[k\\sub] 1

[K] 2
"w"="x"
)",
         head + R"([k] 1
"v"="first"

[k\\sub] 1

[K] S
"v"="new"
"w"="x"
)"},
        {"a value line of a megabyte is copied as it was", head + big + R"([k] 1
"v"="old"
)",
         head + big + R"([k] S
"v"="new"
)"},
        {"string data is read up to its closing quote", head + R"([k] 1
"s"="x" trailing\
"v"="old"
)",
         head + R"([k] S
"s"="x" trailing\
"v"="new"
)"},
    };
    for (const auto& c : cases) {
        Write(c.before);
        RegFile file;
        ASSERT_EQ(file.Load(path_), ERROR_SUCCESS) << c.what;
        EXPECT_EQ(file.HasKey("k\\sub"), c.before.find("sub") != std::string::npos) << c.what;
        ASSERT_EQ(SetString(file, "k", "v", "new"), ERROR_SUCCESS) << c.what;
        std::string after = OnDisk();
        const std::size_t changed = after.rfind("] ", after.find("\"v\"=\"new\""));
        after.replace(changed + 2, after.find_first_not_of("0123456789", changed + 2) - changed - 2,
                      "S");
        if (const std::size_t time = after.find("#time="); time != std::string::npos) {
            after.replace(time + 6, after.find_first_of("\r\n", time) - time - 6, "S");
        }
        EXPECT_EQ(after, c.after) << c.what;
    }
}

// Sections out of Wine's order (hand-edited, appended) still give the right
// keys, once, in Wine's order.
TEST_F(RegFileTest, SectionsOutOfOrderAreListedInWinesOrder) {
    Write(R"(WINE REGISTRY Version 2
[m\\b] 1
[m\\c\\x] 1
[m\\A] 1
[M\\C] 1
[m\\a\\y] 1
)");
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    std::vector<std::string> names;
    std::string name;
    for (DWORD index = 0; file.EnumSubkey("m", index, &name) == ERROR_SUCCESS; ++index) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_TRUE(file.HasKey("M\\a\\Y"));
    EXPECT_TRUE(file.HasKey("m\\C\\x"));
}

// A change whose folder could not be flushed is reported, yet it is in the
// file: a later change must still land where it belongs.
TEST_F(RegFileTest, ChangeAfterAnUnflushedOneLandsRight) {
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    standin::FailReplaceAt(standin::ReplaceStep::kFolderSync);
    ::testing::internal::CaptureStderr();
    EXPECT_NE(SetString(file, std::string(MEDIA) + "\\0002", "added", "a long new value"),
              ERROR_SUCCESS);
    ::testing::internal::GetCapturedStderr();
    standin::FailReplaceAt(standin::ReplaceStep::kNone);
    ASSERT_EQ(SetString(file, std::string(MEDIA) + "\\aZb", "w", "y"), ERROR_SUCCESS);
    const std::string text = OnDisk();
    const std::size_t azb = text.find("MEDIA\\\\aZb] ");
    EXPECT_NE(text.find("\"added\"=\"a long new value\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"w\"=\"y\"", azb), std::string::npos) << text;
    RegFile again;
    EXPECT_EQ(again.Load(path_), ERROR_SUCCESS) << text;
}

TEST_F(RegFileTest, KeyNamesOfUpTo256CharactersAreRead) {
    Write("WINE REGISTRY Version 2\n[a\\\\" + std::string(256, 'n') + "] 1\n");
    RegFile file;
    ASSERT_EQ(file.Load(path_), ERROR_SUCCESS);
    EXPECT_TRUE(file.HasKey("a\\" + std::string(256, 'N')));
}

TEST_F(RegFileTest, MalformedFileIsRefusedWithItsLine) {
    const std::string body = std::string(SYSTEM_REG).substr(25);  // after the signature
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"REGEDIT4\n", ":1: not a Wine registry file"},
        {"", ":1: not a Wine registry file"},
        {std::string(SYSTEM_REG, 200), ":8: the last line has no line end"},
        {"WINE REGISTRY Version 2\n\"v\"=\"x\"\n", ":2: value outside any key"},
        {"WINE REGISTRY Version 2\n[a\\\\b 1\n", ":2: key name has no closing bracket"},
        {"WINE REGISTRY Version 2\n[a] 1\n\"v=\"x\"\n", ":3: value name is not followed"},
        {"WINE REGISTRY Version 2\n[a] 1\n\"v\"=\"x\n", ":3: string data has no closing quote"},
        {"WINE REGISTRY Version 2\n[a] 1\n\"v\n", ":3: value name has no closing quote"},
        {"WINE REGISTRY Version 2\n[a] 1\nv=1\n", ":3: line is neither"},
        // Wine creates key names of up to 256 characters (checked with real Wine).
        {"WINE REGISTRY Version 2\n[a\\\\" + std::string(257, 'n') + "] 1\n",
         ":2: key name longer than 256 characters"},
        {"WINE REGISTRY Version 2\n[a] 1\n\"v\"=hex:00,\\\n", ":3: the last value is cut short"},
    };
    for (const auto& c : cases) {
        Write(c.text);
        RegFile file;
        ::testing::internal::CaptureStderr();
        EXPECT_NE(file.Load(path_), ERROR_SUCCESS) << c.message;
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find(path_ + c.message), std::string::npos) << told;
    }
}

}  // namespace

namespace {

// Run by the end-to-end suite on the files of a prefix real Wine just made.
TEST(WineMadeFilesTest, ReadAndWrittenBackUnchangedAreByteIdentical) {
    const char* prefix = std::getenv("TONVANE_WINE_PREFIX");
    if (prefix == nullptr) {
        GTEST_SKIP() << "set TONVANE_WINE_PREFIX to a prefix whose wineserver is stopped";
    }
    const fs::path copy = fs::temp_directory_path() / ("wine_made." + std::to_string(getpid()));
    fs::create_directories(copy);
    for (const char* name : {"system.reg", "userdef.reg", "user.reg"}) {
        fs::copy_file(fs::path(prefix) / name, copy / name);
        RegFile file;
        ASSERT_EQ(file.Load((copy / name).string()), ERROR_SUCCESS) << name;
        ASSERT_EQ(file.Save(), ERROR_SUCCESS) << name;
        std::ostringstream original, saved;
        original << std::ifstream(fs::path(prefix) / name, std::ios::binary).rdbuf();
        saved << std::ifstream(copy / name, std::ios::binary).rdbuf();
        EXPECT_TRUE(original.str() == saved.str()) << name;
        std::string subkey;
        EXPECT_EQ(file.EnumSubkey("", 0, &subkey), ERROR_SUCCESS) << name;
    }
    fs::remove_all(copy);
}

}  // namespace
