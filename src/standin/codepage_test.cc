#include "standin/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodepageTest, ConvertsBetweenWindows1252AndUnicode) {
    const struct {
        unsigned char byte;
        char32_t code_point;
    } cases[] = {{'A', U'A'},  {0x80, U'€'}, {0x8A, U'Š'}, {0x81, 0x81},
                 {0x9F, U'Ÿ'}, {0xA0, 0xA0}, {0xE9, U'é'}, {0xFF, U'ÿ'}};
    for (const auto& c : cases) {
        EXPECT_EQ(standin::AnsiToUnicode(c.byte), c.code_point) << int{c.byte};
        EXPECT_EQ(standin::UnicodeToAnsi(c.code_point), static_cast<char>(c.byte)) << int{c.byte};
    }
    EXPECT_EQ(standin::UnicodeToAnsi(U'日'), '?');
}

TEST(CodepageTest, Utf8ToAnsiReplacesWhatItCannotCarry) {
    EXPECT_EQ(standin::Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    EXPECT_EQ(standin::Utf8ToAnsi("\xE6\x97\xA5"), "?");
    EXPECT_EQ(standin::Utf8ToAnsi("bad\xFF!"), "bad?!");
    EXPECT_EQ(standin::Utf8ToAnsi("cut\xC3"), "cut?");
}

}  // namespace
