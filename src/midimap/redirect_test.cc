#include "midimap/redirect.h"

#include <string>

#include "standin/test_registry.h"

namespace {

using standin::Value;

constexpr char CLASS_KEY[] = "System\\CurrentControlSet\\Services\\Class\\MEDIA";
constexpr char MIDIMAP_KEY[] =
    ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap";

class RedirectTest : public standin::RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        store_.AddKey(HKEY_USERS, MIDIMAP_KEY);
    }

    void AddInstance(const std::string& instance) {
        store_.AddKey(HKEY_LOCAL_MACHINE, std::string(CLASS_KEY) + "\\" + instance);
    }
    void AddDriver(const std::string& instance, const std::string& driver) {
        AddInstance(instance + "\\Drivers\\midi\\" + driver);
    }

    std::optional<Value> Mapped(const char* name) const {
        return store_.GetValue(HKEY_USERS, MIDIMAP_KEY, name);
    }
    std::optional<std::string> CurrentInstrument() const {
        const std::optional<Value> value = Mapped("CurrentInstrument");
        if (!value) {
            return std::nullopt;
        }
        EXPECT_EQ(value->type, REG_SZ);
        EXPECT_TRUE(value->data.ends_with('\0'));
        return value->data.substr(0, value->data.size() - 1);
    }
    bool MidiMapUnchanged() const { return !Mapped("CurrentInstrument") && !Mapped("Autoscheme"); }
};

TEST_F(RedirectTest, FirstInstanceHoldingTheDriverWins) {
    AddInstance("0000");
    AddDriver("0001", "other");
    AddDriver("0002", "fmsynth");
    AddDriver("0003", "fmsynth");

    EXPECT_EQ(RedirectMidiStream("fmsynth"), 1);

    const std::string probe =
        R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class\\MEDIA\\)";
    const std::string midimap =
        R"(HKEY_USERS\.Default\Software\Microsoft\Windows\CurrentVersion\Multimedia\MIDIMap)";
    const std::string media = R"(HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\MEDIA)";
    const std::vector<std::string> expected = {
        R"(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class\\MEDIA", 0, 0x20019) = 0)",
        "RegEnumKeyA(" + media + R"(, 0, 260) = 0 "0000")",
        probe + R"(0000\\Drivers\\midi\\fmsynth", 0, 0x20019) = 2)",
        "RegEnumKeyA(" + media + R"(, 1, 260) = 0 "0001")",
        probe + R"(0001\\Drivers\\midi\\fmsynth", 0, 0x20019) = 2)",
        "RegEnumKeyA(" + media + R"(, 2, 260) = 0 "0002")",
        probe + R"(0002\\Drivers\\midi\\fmsynth", 0, 0x20019) = 0)",
        R"(RegOpenKeyExA(HKEY_USERS, ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap", 0, 0x2) = 0)",
        "RegSetValueExA(" + midimap + R"(, "CurrentInstrument", 0, 1, "fmsynth<0002>\0", 14) = 0)",
        "RegCloseKey(" + midimap + ") = 0",
        R"(RegOpenKeyExA(HKEY_USERS, ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap", 0, 0x2) = 0)",
        "RegSetValueExA(" + midimap + R"(, "Autoscheme", 0, 4, "\0\0\0\0", 4) = 0)",
        "RegCloseKey(" + midimap + ") = 0",
        "RegCloseKey(" + media + R"(\0002\Drivers\midi\fmsynth) = 0)",
        "RegCloseKey(" + media + ") = 0",
    };
    EXPECT_EQ(standin::Journal(), expected);
    EXPECT_EQ(CurrentInstrument(), "fmsynth<0002>");
    EXPECT_EQ(Mapped("Autoscheme"), (Value{REG_DWORD, std::string(4, '\0')}));
}

TEST_F(RedirectTest, DriverPartKeepsCallersCaseInstancePartKeepsRegistrys) {
    AddDriver("Synths", "FMSYNTH");
    EXPECT_EQ(RedirectMidiStream("fmsynth"), 1);
    EXPECT_EQ(CurrentInstrument(), "fmsynth<Synths>");
}

TEST_F(RedirectTest, BackslashesInTheNameReachADeeperKey) {
    AddDriver("0000", "bank\\fm");
    EXPECT_EQ(RedirectMidiStream("bank\\fm"), 1);
    EXPECT_EQ(CurrentInstrument(), "bank\\fm<0000>");
}

TEST_F(RedirectTest, SearchFailsWithoutWritingWhenNoInstanceHoldsTheDriver) {
    const struct {
        const char* what;
        std::vector<std::string> instances;
    } cases[] = {
        {"class key without subkeys", {""}},
        {"instances without the driver", {"0000", "0001\\Drivers\\midi\\other", "0002\\Drivers"}},
    };
    for (const auto& c : cases) {
        for (const std::string& instance : c.instances) {
            AddInstance(instance);
        }
        EXPECT_EQ(RedirectMidiStream("fmsynth"), 0) << c.what;
        EXPECT_TRUE(Boxes().empty()) << c.what;
        EXPECT_TRUE(MidiMapUnchanged()) << c.what;
    }
}

TEST_F(RedirectTest, MissingClassKeyIsReported) {
    EXPECT_EQ(RedirectMidiStream("fmsynth"), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Error opening Registry for MEDIA"});
    EXPECT_EQ(standin::Journal().size(), 2u);  // the failed open and the box
    EXPECT_TRUE(MidiMapUnchanged());
}

TEST_F(RedirectTest, EnumerationErrorEndsTheSearchLikeTheEndOfTheList) {
    for (const LONG status : {ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS, ERROR_INVALID_HANDLE}) {
        standin::StartJournal();
        AddInstance("0000");
        AddDriver("0001", "fmsynth");
        standin::FailCall("RegEnumKeyA", 2, status);
        EXPECT_EQ(RedirectMidiStream("fmsynth"), 0) << status;
        EXPECT_EQ(CallsTo("RegOpenKeyExA").size(), 2u) << "0001 must not be probed";
        EXPECT_EQ(CallsTo("RegCloseKey").size(), 1u);
        EXPECT_TRUE(MidiMapUnchanged());
    }
}

TEST_F(RedirectTest, OverlongInstanceNameIsReportedByTheRegistryAndEndsTheSearch) {
    AddDriver(std::string(260, 'a'), "fmsynth");  // one more than the buffer holds
    AddDriver("b", "fmsynth");
    EXPECT_EQ(RedirectMidiStream("fmsynth"), 0);
    EXPECT_TRUE(MidiMapUnchanged());
}

TEST_F(RedirectTest, ProbePathThatDoesNotFitSkipsOnlyThatInstance) {
    const std::string driver(190, 'd');
    AddDriver("0000" + std::string(246, 'x'), driver);  // 79 + 250 + 190 > 511
    AddDriver("0001", driver);
    EXPECT_EQ(RedirectMidiStream(driver.c_str()), 1);
    EXPECT_EQ(CurrentInstrument(), driver + "<0001>");
}

TEST_F(RedirectTest, LongestProbePathIsHandedToThePlatform) {
    // 428 characters make a probe path of exactly 511; the platform refuses
    // subkey paths over 260 characters, so the search finds nothing.
    AddDriver("0000", std::string(428, 'd'));
    EXPECT_EQ(RedirectMidiStream(std::string(428, 'd').c_str()), 0);
    ASSERT_EQ(CallsTo("RegOpenKeyExA").size(), 2u);
    EXPECT_TRUE(
        CallsTo("RegOpenKeyExA")[1].ends_with(std::string(428, 'd') + "\", 0, 0x20019) = 234"));

    standin::StartJournal();
    EXPECT_EQ(RedirectMidiStream(std::string(429, 'd').c_str()), 0);
    EXPECT_EQ(CallsTo("RegOpenKeyExA").size(), 1u) << "a path that does not fit is not tried";

    // The longest name the platform opens below a four-character instance.
    AddDriver("0000", std::string(196, 'd'));
    EXPECT_EQ(RedirectMidiStream(std::string(196, 'd').c_str()), 1);
    EXPECT_EQ(CurrentInstrument(), std::string(196, 'd') + "<0000>");
}

TEST_F(RedirectTest, EmptyNameIsRefusedWithoutTouchingTheRegistry) {
    AddDriver("0000", "");
    EXPECT_EQ(RedirectMidiStream(""), 0);
    EXPECT_TRUE(standin::Journal().empty());
}

TEST_F(RedirectTest, FailedWriteFailsTheRedirectAndLeavesTheRestAlone) {
    AddDriver("0000", "fmsynth");
    standin::FailCall("RegSetValueExA", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RedirectMidiStream("fmsynth"), 0);
    EXPECT_EQ(CallsTo("RegSetValueExA").size(), 1u) << "Autoscheme follows only a good write";
    EXPECT_TRUE(MidiMapUnchanged());

    standin::StartJournal();
    standin::FailCall("RegSetValueExA", 2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RedirectMidiStream("fmsynth"), 0);
    EXPECT_EQ(CurrentInstrument(), "fmsynth<0000>");
    EXPECT_FALSE(Mapped("Autoscheme"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(RedirectTest, MissingMidiMapKeyIsNotCreated) {
    store_ = standin::MemoryStore();
    AddDriver("0000", "fmsynth");
    EXPECT_EQ(RedirectMidiStream("fmsynth"), 0);
    EXPECT_EQ(CallsTo("RegSetValueExA").size(), 0u);
    EXPECT_FALSE(store_.HasKey(HKEY_USERS, MIDIMAP_KEY));
    EXPECT_EQ(CallsTo("RegCloseKey").size(), 2u);
}

}  // namespace
