#include <optional>
#include <string>

#include "standin/registry_services.h"
#include "standin/test_registry.h"

namespace {

// A registry where every key exists and the MEDIA class has one instance,
// 0000: whatever name the scan takes is found there, and the value written
// shows exactly which name that was.
class AnyKeyStore : public standin::RegistryStore {
public:
    LONG OpenKey(const standin::KeyPath&) override { return ERROR_SUCCESS; }
    LONG EnumSubkey(const standin::KeyPath&, DWORD index, std::string* name) override {
        *name = "0000";
        return index == 0 ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
    }
    LONG SetValue(const standin::KeyPath&, std::string_view value_name, DWORD,
                  std::string_view data) override {
        if (value_name == "CurrentInstrument") {
            current_instrument = data.substr(0, data.size() - 1);
        }
        return ERROR_SUCCESS;
    }
    std::optional<std::string> current_instrument;
};

class WinMainTest : public standin::RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        standin::UseStore(&any_key_);
    }

    // Runs WinMain on `tail`; returns the driver name it redirected to.
    std::optional<std::string> Run(std::string tail, int* result) {
        standin::StartJournal();
        any_key_.current_instrument.reset();
        *result = WinMain(nullptr, nullptr, tail.data(), 1);
        if (!any_key_.current_instrument) {
            return std::nullopt;
        }
        const std::string& value = *any_key_.current_instrument;
        EXPECT_TRUE(value.ends_with("<0000>")) << value;
        return value.substr(0, value.size() - 6);
    }

    // The boxes as letters: U usage, I invalid option, F redirect failed.
    std::string BoxLetters() const {
        std::string letters;
        for (const std::string& text : Boxes()) {
            letters += text.starts_with("Tonvane v1.0 by ")                ? 'U'
                       : text == "Invalid Option on command line."         ? 'I'
                       : text == "Attempt to redirect MIDI stream failed." ? 'F'
                                                                           : '?';
        }
        return letters;
    }

    AnyKeyStore any_key_;
};

TEST_F(WinMainTest, ScansTheTail) {
    const struct {
        const char* tail;
        const char* boxes;
        std::optional<std::string> name;  // redirected to; none: registry untouched
        int result;
    } cases[] = {
        {"", "U", std::nullopt, 1},
        {"-?", "U", std::nullopt, 1},
        {"/?", "U", std::nullopt, 1},
        {"-?fmsynth", "U", std::nullopt, 1},
        {"fmsynth /?", "U", std::nullopt, 1},
        {"-x -?", "IU", std::nullopt, 1},
        {"fmsynth", "", "fmsynth", 1},
        {"fm-syn/th", "", "fm-syn/th", 1},
        {"\"fm synth\"", "", "\"fm", 1},
        {"fm\tsynth \t\n ", "", "fm\tsynth", 1},
        {"\t fmsynth", "", "fmsynth", 1},
        {"- ?", "I", "?", 1},
        {"-fmsynth", "I", "fmsynth", 1},
        {"-/fmsynth", "II", "fmsynth", 1},
        {"fmsynth -", "I", "fmsynth", 1},
        {"fmsynth --", "II", "fmsynth", 1},
        // Plain text after the name is stepped over: a second word, and the
        // rest of an invalid option.
        {"fmsynth second third", "", "fmsynth", 1},
        {"fmsynth -bad", "I", "fmsynth", 1},
        {"-bad fmsynth", "I", "bad", 1},
        // No name at all is refused before the registry.
        {"-", "IF", std::nullopt, 0},
        {"- / -", "IIIF", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        int result = -1;
        EXPECT_EQ(Run(c.tail, &result), c.name) << '[' << c.tail << ']';
        EXPECT_EQ(BoxLetters(), c.boxes) << '[' << c.tail << ']';
        EXPECT_EQ(result, c.result) << '[' << c.tail << ']';
        if (!c.name) {
            EXPECT_TRUE(CallsTo("RegOpenKeyExA").empty()) << '[' << c.tail << ']';
        }
    }
}

TEST_F(WinMainTest, FailedRedirectFollowsTheRedirectsOwnMessage) {
    char tail[] = "fmsynth";
    standin::FailCall("RegOpenKeyExA", 1, ERROR_FILE_NOT_FOUND);
    const int result = WinMain(nullptr, nullptr, tail, 1);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error opening Registry for MEDIA",
                                                 "Attempt to redirect MIDI stream failed."}));
    EXPECT_EQ(result, 0);
}

TEST_F(WinMainTest, FirstWordLongerThanTheNameBufferIsNotTaken) {
    int result = -1;
    // 511 characters fit; the probe path they make does not, so nothing is found.
    const std::string longest(511, 'n');
    EXPECT_EQ(Run(longest, &result), std::nullopt);
    EXPECT_EQ(CallsTo("RegOpenKeyExA").size(), 1u) << "the class key is opened";
    EXPECT_EQ(result, 0);

    for (const std::string& tail : {std::string(512, 'n'), std::string(4000, 'n') + " fmsynth"}) {
        EXPECT_EQ(Run(tail, &result), std::nullopt);
        EXPECT_TRUE(CallsTo("RegOpenKeyExA").empty());
        EXPECT_EQ(BoxLetters(), "F");
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(Run(std::string(600, 'n') + " -?", &result), std::nullopt);
    EXPECT_EQ(BoxLetters(), "U");
    EXPECT_EQ(result, 1);
}

}  // namespace
