#include "standin/wine_text.h"

#include <gtest/gtest.h>

namespace {

using standin::Quoting;

// Each written form is what real Wine wrote for the same text.
TEST(WineTextTest, EscapesAsWineWrites) {
    const struct {
        std::u32string text;
        Quoting quoting;
        const char* written;
    } cases[] = {
        {U"da\"ta\\x\ttab", Quoting::kString, R"(da\"ta\\x\ttab)"},
        {U"a\nb\rc\x01"
         "d\x7f"
         "e]f[g",
         Quoting::kString,
         "a\\nb\\rc\\1d\x7f"
         "e]f[g"},
        {U"a\ab\bc\vd\fe\x1b"
         "f\x01"
         "2\x01"
         "9",
         Quoting::kString, R"(a\ab\bc\vd\fe\ef\0012\19)"},
        {U"\u00e9abc\u00e9xyz", Quoting::kString, R"(\x00e9abc\xe9xyz)"},
        {U";#=@\"", Quoting::kString, R"(;#=@\")"},
        {U"odd \"q\" [b] back\\slash", Quoting::kKeyName, R"(odd "q" \[b\] back\\slash)"},
        {U"\u20ac", Quoting::kKeyName, R"(\x20ac)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(standin::EscapeWine(c.text, c.quoting), c.written);
        std::u32string read;
        const std::string terminated = std::string(c.written) + "\"";
        if (c.quoting == Quoting::kString) {
            EXPECT_EQ(standin::UnescapeWine(terminated, '"', &read), terminated.size() - 1);
            EXPECT_EQ(read, c.text) << c.written;
        }
    }
}

TEST(WineTextTest, ReadsUtf8AndRefusesUnendedText) {
    std::u32string read;
    EXPECT_EQ(standin::UnescapeWine("caf\xC3\xA9]", ']', &read), 5u);
    EXPECT_EQ(read, U"caf\u00e9");
    EXPECT_EQ(standin::UnescapeWine("no end", '"', nullptr), std::string_view::npos);
    EXPECT_EQ(standin::UnescapeWine("ends in \\", '"', nullptr), std::string_view::npos);
    EXPECT_EQ(standin::UnescapeWine("escaped \\] bracket]", ']', nullptr), 18u);
}

}  // namespace
