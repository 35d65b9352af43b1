// Reads a file line by line from an offset through one buffer that is
// reused, growing only for a line longer than itself: memory stays bounded
// by the longest line, not the file.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace standin {

class LineReader {
public:
    LineReader(int fd, std::uint64_t start);

    // The next line without its '\n' (a '\r' before it is kept) and the
    // offset where it starts; false at the end of the file or on a read
    // error. A line valid until the next call.
    bool Next(std::string_view* line, std::uint64_t* at);
    bool Failed() const { return failed_; }
    // Whether the last line returned had no '\n' after it.
    bool LastLineUnended() const { return unended_; }
    // The offset after everything returned so far.
    std::uint64_t Offset() const { return offset_; }

private:
    bool Fill();

    int fd_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // first byte not yet returned
    std::size_t end_ = 0;    // end of the bytes read
    std::uint64_t offset_;   // file offset of buffer_[begin_]
    bool at_end_ = false;
    bool failed_ = false;
    bool unended_ = false;
};

}  // namespace standin
