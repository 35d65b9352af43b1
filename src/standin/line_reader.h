// Reads a file line by line from an offset through one buffer that is
// reused. A line longer than the buffer is not held whole: its first part
// and its last bytes are, and its length is counted. Memory stays bounded
// however long a line or a file is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct Line {
    std::string_view text;   // the line, or its first part when it is longer than the buffer
    std::string_view tail;   // its last bytes (all of it when it is whole)
    std::uint64_t at = 0;    // its offset in the file
    std::uint64_t size = 0;  // its length without the line end
    bool cr = false;         // it ended in "\r\n"; neither is in text, tail or size
    bool whole() const { return text.size() == size; }
};

class LineReader {
public:
    LineReader(int fd, std::uint64_t start);

    // The next line, valid until the next call; false at the end of the file
    // or on a read error.
    bool Next(Line* line);
    bool Failed() const { return failed_; }
    // Whether the last line returned had no '\n' after it.
    bool LastLineUnended() const { return unended_; }
    // The offset after everything returned so far.
    std::uint64_t Offset() const { return offset_; }

private:
    bool Fill();
    void SkipLongLine(Line* line);

    int fd_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // first byte not yet returned
    std::size_t end_ = 0;    // end of the bytes read
    std::uint64_t offset_;   // file offset of buffer_[begin_]
    std::string tail_;       // the last bytes of a long line
    bool at_end_ = false;
    bool failed_ = false;
    bool unended_ = false;
};

}  // namespace standin
