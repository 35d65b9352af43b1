#include "standin/line_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using standin::Line;
using standin::LineReader;

// The lines of `text` as the reader gives them, from `start`.
std::vector<Line> ReadAll(const std::string& text, std::uint64_t start,
                          std::vector<std::string>* kept, bool* unended) {
    const int fd = memfd_create("lines", 0);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    LineReader reader(fd, start);
    std::vector<Line> lines;
    for (Line line; reader.Next(&line);) {
        kept->push_back(std::string(line.text) + "|" + std::string(line.tail));
        lines.push_back(line);
    }
    *unended = reader.LastLineUnended();
    close(fd);
    return lines;
}

TEST(LineReaderTest, GivesEachLineWithItsOffsetAndEnd) {
    std::vector<std::string> kept;
    bool unended = false;
    const auto lines = ReadAll("one\r\ntwo\n\nlast", 0, &kept, &unended);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(kept, (std::vector<std::string>{"one|one", "two|two", "|", "last|last"}));
    EXPECT_TRUE(lines[0].cr);
    EXPECT_EQ(lines[0].size, 3u);
    EXPECT_EQ(lines[1].at, 5u);
    EXPECT_EQ(lines[3].at, 10u);
    EXPECT_TRUE(unended);
    kept.clear();
    ReadAll("one\ntwo\n", 4, &kept, &unended);
    EXPECT_EQ(kept, (std::vector<std::string>{"two|two"}));
    EXPECT_FALSE(unended);
}

// A line longer than the buffer is not held: its first part and last bytes
// are, its length is counted, and the lines after it are read as usual.
TEST(LineReaderTest, LongLineKeepsItsStartAndEnd) {
    const std::string long_line = "\"v\"=\"" + std::string(1 << 20, 'x') + "\"";
    std::vector<std::string> kept;
    bool unended = false;
    const auto lines = ReadAll("[k] 1\n" + long_line + "\r\n\"w\"=\"after\"\n", 0, &kept, &unended);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[1].whole());
    EXPECT_EQ(lines[1].size, long_line.size());
    EXPECT_TRUE(lines[1].cr);
    EXPECT_TRUE(kept[1].starts_with("\"v\"=\"xxx"));
    EXPECT_TRUE(kept[1].ends_with("xxx\""));
    EXPECT_EQ(lines[2].at, 6 + long_line.size() + 2);
    EXPECT_EQ(kept[2], "\"w\"=\"after\"|\"w\"=\"after\"");
}

}  // namespace
