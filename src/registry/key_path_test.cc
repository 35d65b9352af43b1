#include "registry/key_path.h"

#include <string>

#include "standin/test_registry.h"

namespace {

using standin::RegistryTest;
using standin::Value;

TEST(RootKeyFromNameTest, MatchesTheSevenRootsExactly) {
    const struct {
        const char* name;
        HKEY handle;
    } cases[] = {
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {"HKEY_DYN_DATA", HKEY_DYN_DATA},
        {"HKEY_Users", nullptr},
        {"HKEY_USERS ", nullptr},
        {"HKLM", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RootKeyFromName(c.name), c.handle) << c.name;
    }
}

class OpenKeyByPathTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        store_.AddKey(HKEY_LOCAL_MACHINE, "Software\\Tonvane");
    }
};

TEST_F(OpenKeyByPathTest, OpensBelowTheNamedRoot) {
    const struct {
        const char* path;
        LONG status;
        const char* open_call;  // as the journal has it
    } cases[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\Tonvane", 0,
         R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tonvane", 0, 0x20019) = 0)"},
        {"HKEY_LOCAL_MACHINE\\software\\TONVANE", 0,
         R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\TONVANE", 0, 0x20019) = 0)"},
        {"HKEY_LOCAL_MACHINE\\Software\\Missing", 2,
         R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Missing", 0, 0x20019) = 2)"},
        // One backslash is stepped over; the open sees an empty subkey path.
        {"HKEY_USERS\\", 0, R"(RegOpenKeyExA(HKEY_USERS, "", 0, 0x20019) = 0)"},
        // Only the first of two backslashes is stepped over.
        {"HKEY_LOCAL_MACHINE\\\\Software", 161,
         R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, 0x20019) = 161)"},
        // Not a root name: the open is made on the null handle.
        {"HKEY_Local_Machine\\Software", 6, R"(RegOpenKeyExA(0x0, "Software", 0, 0x20019) = 6)"},
    };
    for (const auto& c : cases) {
        standin::StartJournal();
        HKEY key = nullptr;
        const LONG status = OpenKeyByPath(c.path, &key, KEY_READ);
        EXPECT_EQ(status, c.status) << c.path;
        EXPECT_EQ(standin::Journal(), std::vector<std::string>{c.open_call}) << c.path;
        if (status == ERROR_SUCCESS) {
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
    }
}

TEST_F(OpenKeyByPathTest, RootNameAloneOpensNothing) {
    const struct {
        const char* path;
        HKEY handle;
    } cases[] = {{"HKEY_USERS", HKEY_USERS}, {"HKEY_Users", nullptr}};
    for (const auto& c : cases) {
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(OpenKeyByPath(c.path, &key, KEY_READ), ERROR_SUCCESS) << c.path;
        EXPECT_EQ(key, c.handle) << c.path;
    }
    EXPECT_TRUE(standin::Journal().empty());
}

TEST_F(OpenKeyByPathTest, PathWithoutUsableRootIsRefusedUnopened) {
    const std::string too_long(1024, 'H');
    for (const std::string& path :
         {std::string(), std::string("\\Software"), too_long, too_long + "\\Software"}) {
        HKEY key = nullptr;
        EXPECT_NE(OpenKeyByPath(path.c_str(), &key, KEY_READ), ERROR_SUCCESS) << path;
    }
    EXPECT_TRUE(standin::Journal().empty());
}

class SetValueTest : public OpenKeyByPathTest {
protected:
    static constexpr char KEY[] = "HKEY_LOCAL_MACHINE\\Software\\Tonvane";
    static constexpr char OPEN[] =
        R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tonvane", 0, 0x2) = 0)";
    static constexpr char CLOSE[] = R"(RegCloseKey(HKEY_LOCAL_MACHINE\Software\Tonvane) = 0)";

    std::optional<Value> Stored(const char* name) const {
        return store_.GetValue(HKEY_LOCAL_MACHINE, "Software\\Tonvane", name);
    }
};

TEST_F(SetValueTest, StringIsStoredWithItsNul) {
    for (const std::string text : {"fmsynth<0002>", ""}) {
        standin::StartJournal();
        EXPECT_EQ(SetStringValue(KEY, "CurrentInstrument", text.c_str()), ERROR_SUCCESS);
        const std::string set = R"(RegSetValueExA(HKEY_LOCAL_MACHINE\Software\Tonvane, )"
                                R"("CurrentInstrument", 0, 1, ")" +
                                text + R"(\0", )" + std::to_string(text.size() + 1) + ") = 0";
        EXPECT_EQ(standin::Journal(), (std::vector<std::string>{OPEN, set, CLOSE}));
        EXPECT_EQ(Stored("CurrentInstrument"), (Value{REG_SZ, text + '\0'}));
    }
}

TEST_F(SetValueTest, NumberIsStoredAsFourBytesLeastSignificantFirst) {
    EXPECT_EQ(SetDwordValue(KEY, "Autoscheme", 0x12345678), ERROR_SUCCESS);
    EXPECT_EQ(Stored("Autoscheme"), (Value{REG_DWORD, "\x78\x56\x34\x12"}));
    EXPECT_EQ(SetDwordValue(KEY, "Autoscheme", 0), ERROR_SUCCESS);
    EXPECT_EQ(Stored("Autoscheme"), (Value{REG_DWORD, std::string(4, '\0')}));
    EXPECT_EQ(standin::Journal()[4],
              R"(RegSetValueExA(HKEY_LOCAL_MACHINE\Software\Tonvane, "Autoscheme", 0, 4, )"
              R"("\0\0\0\0", 4) = 0)");
}

TEST_F(SetValueTest, MissingKeyIsNotCreated) {
    const char* path = "HKEY_LOCAL_MACHINE\\Software\\Tonvane\\Missing";
    EXPECT_EQ(SetStringValue(path, "Name", "text"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetDwordValue(path, "Name", 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CallsTo("RegSetValueExA").size(), 0u);
    EXPECT_EQ(CallsTo("RegCloseKey").size(), 0u);
    EXPECT_FALSE(store_.HasKey(HKEY_LOCAL_MACHINE, "Software\\Tonvane\\Missing"));
}

TEST_F(SetValueTest, FailedSetStillClosesAndPassesStatusBack) {
    standin::FailCall("RegSetValueExA", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetStringValue(KEY, "Name", "text"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CallsTo("RegCloseKey"), std::vector<std::string>{CLOSE});
    EXPECT_FALSE(Stored("Name"));
}

}  // namespace
