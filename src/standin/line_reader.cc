#include "standin/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace standin {
namespace {

constexpr std::size_t BUFFER_SIZE = 128 * 1024;
constexpr std::size_t TAIL_SIZE = 4096;

// Reads at `offset` into `to`, retrying when interrupted: the bytes read, 0
// at the end, -1 on an error.
ssize_t ReadAt(int fd, char* to, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t got = pread(fd, to, size, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

// Takes the '\r' of a CRLF line end off the line.
void DropCr(Line* line) {
    line->cr = !line->tail.empty() && line->tail.back() == '\r';
    if (line->cr) {
        line->tail.remove_suffix(1);
        if (line->whole()) {
            line->text.remove_suffix(1);
        }
        --line->size;
    }
}

}  // namespace

LineReader::LineReader(int fd, std::uint64_t start)
    : fd_(fd), buffer_(BUFFER_SIZE), offset_(start) {}

// Moves what is left to the front and reads more after it.
bool LineReader::Fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const ssize_t got = ReadAt(fd_, buffer_.data() + end_, buffer_.size() - end_, offset_ + end_);
    if (got > 0) {
        end_ += static_cast<std::size_t>(got);
        return true;
    }
    failed_ = got < 0;
    at_end_ = true;
    return false;
}

bool LineReader::Next(Line* line) {
    for (std::size_t searched = begin_;;) {
        const void* found = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
        if (found != nullptr) {
            const auto stop =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
            line->text = std::string_view(buffer_.data() + begin_, stop - begin_);
            line->tail = line->text;
            line->at = offset_;
            line->size = line->text.size();
            offset_ += stop + 1 - begin_;
            begin_ = stop + 1;
            DropCr(line);
            return true;
        }
        if (begin_ == 0 && end_ == buffer_.size()) {
            SkipLongLine(line);
            return !failed_;
        }
        const std::size_t seen = end_ - begin_;
        if (at_end_ || !Fill()) {
            if (end_ == begin_ || failed_) {
                return false;
            }
            line->text = std::string_view(buffer_.data() + begin_, end_ - begin_);
            line->tail = line->text;
            line->at = offset_;
            line->size = line->text.size();
            offset_ += end_ - begin_;
            begin_ = end_;
            unended_ = true;
            DropCr(line);
            return true;
        }
        searched = begin_ + seen;
    }
}

// The buffer holds the first part of a line and no line end: the rest is
// read through a block of its own, keeping only its last bytes. The buffer
// is refilled on the next call, so the first part stays valid until then.
void LineReader::SkipLongLine(Line* line) {
    line->text = std::string_view(buffer_.data(), end_);
    line->at = offset_;
    tail_.assign(buffer_.data() + end_ - TAIL_SIZE, TAIL_SIZE);
    std::vector<char> block(BUFFER_SIZE);
    std::uint64_t next = offset_ + end_;
    for (;;) {
        const ssize_t got = ReadAt(fd_, block.data(), block.size(), next);
        if (got <= 0) {
            failed_ = got < 0;
            unended_ = true;
            line->size = next - offset_;
            offset_ = next;
            break;
        }
        const auto length = static_cast<std::size_t>(got);
        const void* found = std::memchr(block.data(), '\n', length);
        const std::size_t used =
            found != nullptr
                ? static_cast<std::size_t>(static_cast<const char*>(found) - block.data())
                : length;
        tail_.append(block.data(), used);
        tail_.erase(0, tail_.size() > TAIL_SIZE ? tail_.size() - TAIL_SIZE : 0);
        next += used;
        if (found != nullptr) {
            line->size = next - offset_;
            offset_ = next + 1;
            break;
        }
    }
    begin_ = end_ = 0;
    line->tail = tail_;
    DropCr(line);
}

}  // namespace standin
