#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct TokenCase {
    const char* delimiters;
    const char* source;
    const char* copied;
    std::size_t stop;  // offset in source where the copy stopped
};

TEST(CopyTokenTest, CopiesUpToFirstDelimiterOrEnd) {
    const TokenCase cases[] = {
        {" ", "fmsynth", "fmsynth", 7},
        {" ", "fm synth", "fm", 2},
        {" ", " fmsynth", "", 0},
        {" ", "", "", 0},
        {" ", "fm\tsynth x", "fm\tsynth", 8},
        {"\\", "HKEY_USERS\\.Default", "HKEY_USERS", 10},
        {"\\x", "axb\\c", "axb", 3},  // only the first delimiter counts
    };
    for (const TokenCase& c : cases) {
        char destination[32];
        std::memset(destination, '#', sizeof destination);
        const char* stop = CopyToken(c.delimiters, destination, c.source);
        EXPECT_STREQ(destination, c.copied) << c.source;
        EXPECT_EQ(stop, c.source + c.stop) << c.source;
        EXPECT_EQ(TokenLength(c.delimiters, c.source), c.stop) << c.source;
    }
}

TEST(AppendTextTest, AppendsOnlyWhatFitsWithItsNul) {
    char buffer[8] = "abc";
    EXPECT_TRUE(AppendText(buffer, sizeof buffer, "defg"));  // exactly fills: 7 + NUL
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(AppendText(buffer, sizeof buffer, "h"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_TRUE(AppendText(buffer, sizeof buffer, ""));
}

}  // namespace
