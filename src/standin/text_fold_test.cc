#include "standin/text_fold.h"

#include <gtest/gtest.h>

namespace {

TEST(TextFoldTest, FoldsLettersOfTheCodePage) {
    for (const auto& [upper, lower] : {std::pair{U'A', U'a'},
                                       {U'\u00c9', U'\u00e9'},
                                       {U'\u0160', U'\u0161'},
                                       {U'\u0178', U'\u00ff'},
                                       {U'\u0179', U'\u017a'},
                                       {U'_', U'_'},
                                       {U'\u00d7', U'\u00d7'}}) {
        EXPECT_EQ(standin::FoldCodePoint(upper), lower);
        EXPECT_EQ(standin::FoldCodePoint(lower), lower);
    }
}

TEST(TextFoldTest, FoldsAnsiNamesThroughTheCodePage) {
    EXPECT_EQ(standin::FoldCase("MIDIMap \xC9\x8A"), "midimap \xE9\x9A");
}

}  // namespace
