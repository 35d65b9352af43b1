#include "standin/command_tail.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The tails here are those a Windows program receives under Wine for the
// same arguments.
TEST(CommandTailTest, QuotesAndEscapesAsWineDoes) {
    const struct {
        std::vector<const char*> arguments;
        const char* tail;
    } cases[] = {
        {{}, ""},
        {{"fmsynth"}, "fmsynth"},
        {{"a", "b c"}, "a \"b c\""},
        {{"d\"e"}, "d\\\"e"},
        {{"f\\\"g"}, "f\\\\\\\"g"},
        {{"h\\"}, "h\\"},
        {{"x y\\"}, "\"x y\\\\\""},
        {{"q\"r s"}, "\"q\\\"r s\""},
        {{"a", ""}, "a \"\""},
        {{"k\tl"}, "\"k\tl\""},
        {{"\nm", "n"}, "m n"},  // the startup drops blanks and controls in front
        {{" ", "x"}, "\" \" x"},
        {{"caf\xC3\xA9", "\xE6\x97\xA5"}, "caf\xE9 ?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            standin::FormCommandTail(static_cast<int>(c.arguments.size()), c.arguments.data()),
            c.tail);
    }
}

}  // namespace
