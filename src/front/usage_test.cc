#include "front/usage.h"

#include <regex>

#include "standin/test_registry.h"

namespace {

using UsageTest = standin::RegistryTest;

TEST_F(UsageTest, ShowsTheFourLinesInOneBox) {
    ShowUsage();
    const std::vector<std::string> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    // Build date: "Mmm dd yyyy" with a blank before a single-digit day;
    // build time: "hh:mm:ss".
    const std::regex expected(
        "Tonvane v" + std::regex_replace(TONVANE_VERSION, std::regex("\\."), "\\.") +
        " by Caldreth [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} "
        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\n"
        "USAGE:\n"
        "Tonvane <Driver>\n"
        "Where <Driver> is the driver name you want the MIDI stream to flow to\\.\n");
    EXPECT_TRUE(std::regex_match(boxes[0], expected)) << boxes[0];
}

}  // namespace
