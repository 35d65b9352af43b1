#include "standin/reg_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "standin/complain.h"
#include "standin/file_replace.h"
#include "standin/line_reader.h"
#include "standin/value_line.h"
#include "standin/wine_text.h"

namespace standin {
namespace {

constexpr std::string_view SIGNATURE = "WINE REGISTRY Version 2";
constexpr std::string_view TIME_MARK = "#time=";
constexpr std::size_t COPY_BLOCK = 128 * 1024;

// The time of a change as Wine records it: seconds since 1970 on the key's
// header line, a FILETIME (100 ns since 1601) in hex on its #time line.
struct Stamp {
    std::string seconds;
    std::string filetime;
};

Stamp Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const auto ticks = static_cast<unsigned long long>(now.tv_sec) * 10000000ULL +
                       static_cast<unsigned long long>(now.tv_nsec) / 100 + 116444736000000000ULL;
    char filetime[32];
    std::snprintf(filetime, sizeof filetime, "%llx", ticks);
    return Stamp{std::to_string(now.tv_sec), filetime};
}

// Bytes [from, to) of `in` to `out`; `to` may be past the end.
bool CopyRange(int in, int out, std::uint64_t from, std::uint64_t to) {
    std::vector<char> block(COPY_BLOCK);
    while (from < to) {
        const ssize_t got =
            pread(in, block.data(), std::min<std::uint64_t>(block.size(), to - from),
                  static_cast<off_t>(from));
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (write(out, block.data(), static_cast<std::size_t>(got)) != got) {
            return false;
        }
        from += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool WriteText(int out, std::string_view text) {
    return write(out, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

}  // namespace

LONG RegFile::Fail(std::uint64_t line, const char* what) const {
    Complain("%s:%llu: %s", path_.c_str(), static_cast<unsigned long long>(line), what);
    return ERROR_BADDB;
}

LONG RegFile::Load(const std::string& path) {
    path_ = path;
    index_ = KeyIndex();
    crlf_ = false;
    LONG status = ERROR_SUCCESS;
    const int fd = OpenRegularFile(path, &status);
    if (fd < 0) {
        return status;
    }
    status = ReadLines(fd);
    close(fd);
    return status;
}

// One pass over the file: headers go to the index, value lines are checked
// as Wine reads them, and nothing else is kept.
LONG RegFile::ReadLines(int fd) {
    LineReader reader(fd, 0);
    Line line;
    std::uint64_t number = 0;
    bool in_section = false;
    bool continued = false;  // the line goes on hex data
    while (reader.Next(&line)) {
        ++number;
        if (reader.LastLineUnended()) {
            return Fail(number, "the last line has no line end: the file is cut short");
        }
        if (line.at > KeyIndex::LARGEST_SECTION) {
            return Fail(number, "the file is too large (2 GiB or more)");
        }
        if (number == 1) {
            crlf_ = line.cr;
            if (line.text != SIGNATURE) {
                return Fail(1, "not a Wine registry file: no \"WINE REGISTRY Version 2\" line");
            }
            continue;
        }
        const char first = line.text.empty() ? ';' : line.text[0];
        if (continued) {
            continued = HexContinues(line);
        } else if (first == '[') {
            const std::size_t end = FindUnescaped(line.text, ']');
            if (end == std::string_view::npos || !line.whole()) {
                return Fail(number, "key name has no closing bracket");
            }
            if (const char* wrong = index_.AddSection(line.text.substr(1, end - 1),
                                                      static_cast<std::uint32_t>(line.at))) {
                return Fail(number, wrong);
            }
            in_section = true;
        } else if (first == '"' || first == '@') {
            if (!in_section) {
                return Fail(number, "value outside any key");
            }
            if (const char* wrong = ReadValueLine(line, &continued)) {
                return Fail(number, wrong);
            }
        } else if (first != ';' && first != '#') {
            return Fail(number, "line is neither a key, a value nor a comment");
        }
    }
    if (reader.Failed()) {
        Complain("%s: read failed: %s", path_.c_str(), std::strerror(errno));
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (number == 0) {
        return Fail(1, "not a Wine registry file: no \"WINE REGISTRY Version 2\" line");
    }
    if (continued) {
        return Fail(number, "the last value is cut short");
    }
    index_.Finish();
    return ERROR_SUCCESS;
}

bool RegFile::HasKey(std::string_view path) {
    return index_.Find(path) != KeyIndex::NONE;
}

LONG RegFile::EnumSubkey(std::string_view path, DWORD index, std::string* name) {
    const KeyIndex::Id key = index_.Find(path);
    if (key == KeyIndex::NONE) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (index >= index_.SubkeyCount(key)) {
        return ERROR_NO_MORE_ITEMS;
    }
    index_.AnsiNameOf(index_.Subkey(key, index), name);
    return ERROR_SUCCESS;
}

LONG RegFile::SetValue(std::string_view path, std::string_view value_name, DWORD type,
                       std::string_view data) {
    const KeyIndex::Id key = index_.Find(path);
    if (key == KeyIndex::NONE || key == KeyIndex::ROOT) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::string line;
    for (const char c : ValueLine(value_name, type, data)) {
        line += c == '\n' ? LineEnd() : std::string(1, c);
    }
    std::vector<Edit> edits;
    if (!index_.HasOwnSection(key)) {
        edits.push_back(NewSection(key, line));
    } else if (const LONG status = PlanSectionEdit(key, line, &edits)) {
        return status;
    }
    const LONG written = Write(edits);
    if (written != ERROR_SUCCESS) {
        // The file may have changed all the same (its folder not flushed):
        // the index is made anew from what is on disk.
        const std::string file_path = path_;
        Load(file_path);
        return written;
    }
    std::int64_t grown = 0;
    for (const Edit& edit : edits) {
        grown += static_cast<std::int64_t>(edit.text.size()) -
                 static_cast<std::int64_t>(edit.end - edit.begin);
    }
    index_.SectionWritten(key, index_.SectionOf(key), grown);
    return written;
}

// A key listed only through keys below it gets a section of its own just
// before the first of theirs, where Wine would write it.
RegFile::Edit RegFile::NewSection(KeyIndex::Id key, const std::string& line) const {
    const Stamp now = Now();
    const std::uint64_t at = index_.SectionOf(key);
    return Edit{at, at,
                "[" + EscapeWine(index_.PathOf(key), Quoting::kKeyName) + "] " + now.seconds +
                    LineEnd() + std::string(TIME_MARK) + now.filetime + LineEnd() + line +
                    LineEnd() + LineEnd()};
}

// Reads the key's last section, where a value line counts for Wine over any
// before it: the value's last line there is replaced (it keeps the name it
// was stored under, as in Wine), or a new one goes in the order of the
// folded names; the header's and #time's stamps are renewed.
LONG RegFile::PlanSectionEdit(KeyIndex::Id key, const std::string& line,
                              std::vector<Edit>* edits) const {
    LONG status = ERROR_SUCCESS;
    const int fd = OpenRegularFile(path_, &status);
    if (fd < 0) {
        return status;
    }
    const Stamp now = Now();
    const std::u32string wanted = FoldedValueName(line);
    LineReader reader(fd, index_.SectionOf(key));
    Line text;
    reader.Next(&text);  // the header, whole: a longer one was refused
    const std::size_t seconds = text.text.rfind("] ");
    if (seconds != std::string_view::npos && seconds + 2 < text.size &&
        text.text.find_first_not_of("0123456789", seconds + 2) == std::string_view::npos) {
        edits->push_back(Edit{text.at + seconds + 2, text.at + text.size, now.seconds});
    }
    Edit value{0, 0, ""};
    bool found = false, in_found = false, continued = false, first = true;
    std::optional<std::uint64_t> insert_at;
    std::uint64_t append_at = reader.Offset();
    while (reader.Next(&text)) {
        const std::uint64_t at = text.at;
        if (continued) {
            continued = HexContinues(text);
            value.end = in_found ? at + text.size : value.end;
        } else if (text.text.starts_with('[')) {
            break;
        } else if (first && text.text.starts_with(TIME_MARK)) {
            edits->push_back(Edit{at + TIME_MARK.size(), at + text.size, now.filetime});
        } else if (text.text.starts_with('"') || text.text.starts_with('@')) {
            const std::u32string name = FoldedValueName(text.text);
            in_found = name == wanted;
            if (in_found) {
                found = true;
                value =
                    Edit{at + NameLength(text.text), at + text.size, line.substr(NameLength(line))};
            } else if (name > wanted && !insert_at) {
                insert_at = at;
            }
            ReadValueLine(text, &continued);
        }
        first = false;
        if (text.size > 0) {
            append_at = reader.Offset();
        }
    }
    const bool failed = reader.Failed();
    close(fd);
    if (failed) {
        Complain("%s: read failed", path_.c_str());
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (!found) {
        const std::uint64_t place = insert_at.value_or(append_at);
        value = Edit{place, place, line + LineEnd()};
    }
    edits->push_back(std::move(value));
    return ERROR_SUCCESS;
}

// The file anew: every byte copied but the edited ones, in one pass.
LONG RegFile::Write(const std::vector<Edit>& edits) const {
    LONG status = ERROR_SUCCESS;
    const int in = OpenRegularFile(path_, &status);
    if (in < 0) {
        return status;
    }
    status = ReplaceFile(path_, [&](int out) {
        std::uint64_t done = 0;
        for (const Edit& edit : edits) {
            if (!CopyRange(in, out, done, edit.begin) || !WriteText(out, edit.text)) {
                return false;
            }
            done = edit.end;
        }
        return CopyRange(in, out, done, UINT64_MAX);
    });
    close(in);
    return status;
}

LONG RegFile::Save() const {
    return Write({});
}

}  // namespace standin
