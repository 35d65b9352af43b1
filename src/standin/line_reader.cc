#include "standin/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace standin {
namespace {

constexpr std::size_t BUFFER_SIZE = 128 * 1024;

}  // namespace

LineReader::LineReader(int fd, std::uint64_t start)
    : fd_(fd), buffer_(BUFFER_SIZE), offset_(start) {}

// Moves what is left to the front, grows the buffer when a line fills it,
// and reads more after it.
bool LineReader::Fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
    }
    for (;;) {
        const ssize_t got = pread(fd_, buffer_.data() + end_, buffer_.size() - end_,
                                  static_cast<off_t>(offset_ + end_));
        if (got > 0) {
            end_ += static_cast<std::size_t>(got);
            return true;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        failed_ = got < 0;
        at_end_ = true;
        return false;
    }
}

bool LineReader::Next(std::string_view* line, std::uint64_t* at) {
    for (std::size_t searched = begin_;;) {
        const void* found = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
        if (found != nullptr) {
            const auto stop =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
            *line = std::string_view(buffer_.data() + begin_, stop - begin_);
            *at = offset_;
            offset_ += stop + 1 - begin_;
            begin_ = stop + 1;
            return true;
        }
        const std::size_t seen = end_ - begin_;
        if (at_end_ || !Fill()) {
            if (end_ == begin_ || failed_) {
                return false;
            }
            *line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            *at = offset_;
            offset_ += end_ - begin_;
            begin_ = end_;
            unended_ = true;
            return true;
        }
        searched = begin_ + seen;
    }
}

}  // namespace standin
