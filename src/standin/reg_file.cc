#include "standin/reg_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "standin/codepage.h"
#include "standin/complain.h"
#include "standin/file_replace.h"
#include "standin/wine_text.h"

namespace standin {
namespace {

constexpr std::string_view SIGNATURE = "WINE REGISTRY Version 2\n";
constexpr std::string_view TIME_MARK = "#time=";
constexpr std::size_t FIRST_SLOTS = 1 << 12;

std::u32string Fold(std::u32string_view text) {
    std::u32string folded(text);
    for (char32_t& c : folded) {
        c = FoldCodePoint(c);
    }
    return folded;
}

// Everything of `path` up to its `depth`-th backslash (or the end).
std::u32string_view FirstSegments(std::u32string_view path, std::uint32_t depth) {
    std::size_t end = 0;
    for (std::uint32_t i = 0; i < depth; ++i) {
        end = path.find(U'\\', i == 0 ? 0 : end + 1);
        if (end == std::u32string_view::npos) {
            return i + 1 == depth ? path : std::u32string_view();
        }
    }
    return path.substr(0, end);
}

std::string_view LineAt(std::string_view text, std::size_t offset) {
    const std::size_t end = text.find('\n', offset);
    return text.substr(offset, (end == std::string_view::npos ? text.size() : end) - offset);
}

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

std::string HexBytes(std::string_view prefix, std::string_view bytes) {
    std::string line(prefix);
    std::size_t column = line.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(bytes[i]));
        line += byte;
        column += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            ++column;
            if (column > 76) {  // Wine wraps long binary data like this
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line;
}

// Where the quoted text that starts at text[0] ends: the offset of its
// closing quote, or npos. Only finds the quote; the text is decoded later.
std::size_t ClosingQuote(std::string_view text) {
    for (std::size_t at = 0;;) {
        at = text.find('"', at);
        if (at == std::string_view::npos) {
            return at;
        }
        std::size_t backslashes = 0;
        while (backslashes < at && text[at - 1 - backslashes] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            return at;
        }
        ++at;
    }
}

// The length of the name at the front of a value line: @ or a quoted name;
// npos for a quoted name that does not end.
std::size_t NameLength(std::string_view line) {
    if (line[0] == '@') {
        return 1;
    }
    const std::size_t quote = ClosingQuote(line.substr(1));
    return quote == std::string_view::npos ? quote : quote + 2;
}

// The folded code point of an 8-bit character; ASCII without a call.
char32_t FoldAnsi(unsigned char c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 0x20u : c;
    }
    return FoldCodePoint(AnsiToUnicode(c));
}

// FNV's low bits mix poorly; the slot comes from a finalized hash.
std::size_t SlotOf(std::uint64_t hash, std::size_t mask) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return static_cast<std::size_t>(hash) & mask;
}

// The folded name as UTF-8, whose byte order is the order of code points.
std::string SortKey(std::u32string_view name) {
    std::string key;
    for (const char32_t raw : name) {
        const char32_t c = FoldCodePoint(raw);
        if (c < 0x80) {
            key += static_cast<char>(c);
        } else if (c < 0x800) {
            key += static_cast<char>(0xC0 | (c >> 6));
            key += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            key += static_cast<char>(0xE0 | (c >> 12));
            key += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            key += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return key;
}

bool IsProperString(std::string_view data) {
    return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

}  // namespace

LONG RegFile::Load(const std::string& path) {
    // Read in one piece into a string of the file's size: the text is the
    // only copy of the file in memory.
    LONG status = ERROR_SUCCESS;
    const int fd = OpenRegularFile(path, &status);
    struct stat info {};
    if (fd < 0) {
        return status;
    }
    if (fstat(fd, &info) != 0) {
        close(fd);
        Complain("%s: cannot be read: %s", path.c_str(), std::strerror(errno));
        return ERROR_ACCESS_DENIED;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = read(fd, text.data() + done, text.size() - done);
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    close(fd);
    if (done != text.size()) {
        Complain("%s: read failed", path.c_str());
        return ERROR_REGISTRY_IO_FAILED;
    }
    return Parse(path, std::move(text));
}

LONG RegFile::Fail(std::size_t offset, const char* what) const {
    const auto line = std::count(text_.begin(), text_.begin() + static_cast<long>(offset), '\n');
    Complain("%s:%ld: %s", path_.c_str(), static_cast<long>(line + 1), what);
    return ERROR_BADDB;
}

LONG RegFile::Parse(std::string path, std::string text) {
    path_ = std::move(path);
    text_ = std::move(text);
    keys_.clear();
    keys_.push_back(Key{HASH_START, NONE, NONE});
    slots_.assign(FIRST_SLOTS, 0);
    previous_ = std::string_view();
    levels_.clear();
    subkeys_.clear();
    const std::string_view t = text_;
    if (!t.starts_with(SIGNATURE)) {
        return Fail(0, "not a Wine registry file: no \"WINE REGISTRY Version 2\" line");
    }
    if (t.back() != '\n') {
        return Fail(t.size() - 1, "the last line has no line end: the file is cut short");
    }
    if (t.size() >= OWN) {
        return Fail(0, "the file is too large (2 GiB or more)");
    }
    bool continued = false;
    bool in_section = false;
    for (std::size_t pos = SIGNATURE.size(); pos < t.size();) {
        std::string_view line = LineAt(t, pos);
        const std::size_t next = pos + line.size() + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const char first = line.empty() ? ';' : line[0];
        if (continued) {
            continued = line.ends_with('\\');
        } else if (first == '[') {
            in_section = true;
            if (const LONG status = IndexSection(static_cast<std::uint32_t>(pos), line)) {
                return status;
            }
        } else if (first == '"' || first == '@') {
            if (!in_section) {
                return Fail(pos, "value outside any key");
            }
            const std::size_t name_length = NameLength(line);
            if (name_length == std::string_view::npos) {
                return Fail(pos, "value name has no closing quote");
            }
            const std::string_view rest = line.substr(name_length);
            if (!rest.starts_with('=')) {
                return Fail(pos, "value name is not followed by '='");
            }
            if (rest.starts_with("=\"") && (rest.size() < 3 || !rest.ends_with('"'))) {
                return Fail(pos, "string data has no closing quote");
            }
            continued = line.ends_with('\\');
        } else if (first != ';' && first != '#') {
            return Fail(pos, "line is neither a key, a value nor a comment");
        }
        pos = next;
    }
    if (continued) {
        return Fail(t.size() - 1, "the last value is cut short");
    }
    return ERROR_SUCCESS;
}

LONG RegFile::IndexSection(std::uint32_t header, std::string_view line) {
    const std::uint32_t section = header;
    if (IndexPlainSection(section, line.substr(1))) {
        return ERROR_SUCCESS;
    }
    previous_ = std::string_view();
    levels_.clear();
    std::u32string& name = scratch_;  // kept, so its memory serves every header
    name.clear();
    if (UnescapeWine(line.substr(1), ']', &name) == std::string_view::npos) {
        return Fail(header, "key name has no closing bracket");
    }
    std::uint64_t hash = HASH_START;
    std::uint32_t parent = 0;
    for (std::size_t i = 0; !name.empty(); ++i) {
        if (i == name.size() || name[i] == U'\\') {
            parent = AddKey(hash, parent, section, i == name.size());
            if (i == name.size()) {
                break;
            }
        }
        hash = HashStep(hash, FoldCodePoint(name[i]));
    }
    return ERROR_SUCCESS;
}

// Most key names are plain ASCII with "\\" between keys: those are hashed
// straight from the file's bytes, the same way as a decoded name. Returns
// false, having added nothing, for any other name.
bool RegFile::IndexPlainSection(std::uint32_t section, std::string_view name) {
    std::size_t end = 0;
    while (end < name.size() && name[end] != ']') {
        const auto c = static_cast<unsigned char>(name[end]);
        if (c >= 0x80 || (c == '\\' && (end + 1 >= name.size() || name[end + 1] != '\\'))) {
            return false;
        }
        end += c == '\\' ? 2 : 1;
    }
    if (end == 0 || end >= name.size()) {
        return false;
    }
    // Sections come in tree order, so a header mostly repeats the keys of
    // the one before: those are taken over instead of hashed again.
    const std::string_view plain = name.substr(0, end);
    const std::size_t common = static_cast<std::size_t>(
        std::mismatch(plain.begin(), plain.end(), previous_.begin(), previous_.end()).first -
        plain.begin());
    while (!levels_.empty() && levels_.back().after > common) {
        levels_.pop_back();
    }
    std::uint64_t hash = levels_.empty() ? HASH_START : levels_.back().hash;
    std::uint32_t parent = levels_.empty() ? 0 : levels_.back().key;
    for (std::size_t i = levels_.empty() ? 0 : levels_.back().after; i < end; ++i) {
        const char c = name[i];
        if (c == '\\') {
            parent = AddKey(hash, parent, section, false);
            ++i;  // the second backslash of the pair
            hash = HashStep(hash, U'\\');
            levels_.push_back(Level{i + 1, hash, parent});
            continue;
        }
        hash = HashStep(hash, FoldAnsi(static_cast<unsigned char>(c)));
    }
    previous_ = plain;
    AddKey(hash, parent, section, true);
    return true;
}

std::uint32_t RegFile::AddKey(std::uint64_t hash, std::uint32_t parent, std::uint32_t section,
                              bool own) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = SlotOf(hash, mask);
    for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
        Key& key = keys_[slots_[slot] - 1];
        // Siblings are told apart by the hash of their whole path.
        if (key.hash == hash && key.parent == parent) {
            if (own && (key.section & OWN) == 0) {
                key.section = section | OWN;
            }
            return slots_[slot] - 1;
        }
    }
    const auto index = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(Key{hash, own ? section | OWN : section, parent});
    slots_[slot] = index + 1;
    if (keys_.size() * 4 > slots_.size() * 3) {
        std::vector<std::uint32_t> old(slots_.size() * 2, 0);
        old.swap(slots_);
        const std::size_t new_mask = slots_.size() - 1;
        for (const std::uint32_t entry : old) {
            if (entry != 0) {
                std::size_t s = SlotOf(keys_[entry - 1].hash, new_mask);
                while (slots_[s] != 0) {
                    s = (s + 1) & new_mask;
                }
                slots_[s] = entry;
            }
        }
    }
    return index;
}

std::uint32_t RegFile::DepthOf(const Key& key) const {
    std::uint32_t depth = 0;
    for (const Key* at = &key; at->parent != NONE; at = &keys_[at->parent]) {
        ++depth;
    }
    return depth;
}

// The name of the key itself, the last of its path. Plain names are read
// from the file's bytes directly.
std::u32string RegFile::LastSegment(const Key& key) const {
    const std::string_view header = std::string_view(text_).substr((key.section & ~OWN) + 1);
    std::uint32_t separators = DepthOf(key) - 1;
    std::u32string last;
    for (std::size_t i = 0; i < header.size() && header[i] != ']'; ++i) {
        const auto c = static_cast<unsigned char>(header[i]);
        if (c >= 0x80 || (c == '\\' && (i + 1 >= header.size() || header[i + 1] != '\\'))) {
            const std::u32string path = SegmentsOf(key);
            return path.substr(path.rfind(U'\\') + 1);
        }
        if (c == '\\') {
            ++i;
            if (separators-- == 0) {
                break;
            }
        } else if (separators == 0) {
            last += c;
        }
    }
    return last;
}

std::u32string RegFile::SegmentsOf(const Key& key) const {
    const std::uint32_t depth = DepthOf(key);
    if (depth == 0) {
        return std::u32string();
    }
    std::u32string name;
    UnescapeWine(std::string_view(text_).substr((key.section & ~OWN) + 1), ']', &name);
    return std::u32string(FirstSegments(name, depth));
}

std::uint32_t RegFile::FindKey(std::string_view path) const {
    std::uint64_t hash = HASH_START;
    std::uint32_t depth = path.empty() ? 0 : 1;
    for (const char c : path) {
        hash = HashStep(hash, FoldAnsi(static_cast<unsigned char>(c)));
        depth += c == '\\' ? 1 : 0;
    }
    return FindKey(hash, depth, path);
}

std::uint32_t RegFile::FindKey(std::uint64_t hash, std::uint32_t depth,
                               std::string_view path) const {
    if (depth == 0) {
        return 0;
    }
    std::u32string folded;  // made only when a hash matches
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = SlotOf(hash, mask); slots_[slot] != 0; slot = (slot + 1) & mask) {
        const Key& key = keys_[slots_[slot] - 1];
        if (key.hash != hash || DepthOf(key) != depth) {
            continue;
        }
        if (folded.empty()) {
            folded = Fold(AnsiToU32(path));
        }
        if (Fold(SegmentsOf(key)) == folded) {
            return slots_[slot] - 1;
        }
    }
    return NONE;
}

bool RegFile::HasKey(std::string_view path) const {
    return FindKey(path) != NONE;
}

LONG RegFile::EnumSubkey(std::string_view path, DWORD index, std::string* name) {
    // Enumerating by index asks for the same key over and over: the order of
    // its subkeys is worked out once, by the path as given, and kept as key
    // numbers only.
    auto [cached, fresh] = subkeys_.try_emplace(std::string(path));
    std::vector<std::uint32_t>& children = cached->second;
    if (fresh) {
        const std::uint32_t parent = FindKey(path);
        if (parent == NONE) {
            subkeys_.erase(cached);
            return ERROR_FILE_NOT_FOUND;
        }
        children = SortedChildren(parent);
    }
    if (index >= children.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    *name = U32ToAnsi(LastSegment(keys_[children[index]]));
    return ERROR_SUCCESS;
}

std::vector<std::uint32_t> RegFile::SortedChildren(std::uint32_t parent) const {
    std::vector<std::uint32_t> children;
    std::string previous;
    bool sorted = true;
    for (std::uint32_t index = 0; index < keys_.size(); ++index) {
        if (keys_[index].parent == parent) {
            std::string order = SortKey(LastSegment(keys_[index]));
            sorted = sorted && (children.empty() || previous < order);
            previous = std::move(order);
            children.push_back(index);
        }
    }
    // Wine writes keys in this order already; others may not.
    if (!sorted) {
        std::vector<std::pair<std::string, std::uint32_t>> keyed;
        keyed.reserve(children.size());
        for (const std::uint32_t child : children) {
            keyed.emplace_back(SortKey(LastSegment(keys_[child])), child);
        }
        std::sort(keyed.begin(), keyed.end());
        for (std::size_t i = 0; i < keyed.size(); ++i) {
            children[i] = keyed[i].second;
        }
    }
    return children;
}

std::string RegFile::ValueLine(std::string_view value_name, DWORD type,
                               std::string_view data) const {
    std::string line = value_name.empty()
                           ? "@="
                           : "\"" + EscapeWine(AnsiToU32(value_name), Quoting::kString) + "\"=";
    if ((type == REG_SZ || type == 2) && IsProperString(data)) {
        data.remove_suffix(1);
        return line + (type == 2 ? "str(2):\"" : "\"") +
               EscapeWine(AnsiToU32(data), Quoting::kString) + "\"";
    }
    if (type == REG_DWORD && data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%02x%02x%02x%02x",
                      static_cast<unsigned char>(data[3]), static_cast<unsigned char>(data[2]),
                      static_cast<unsigned char>(data[1]), static_cast<unsigned char>(data[0]));
        return line + number;
    }
    std::string bytes(data);
    if (type == REG_SZ || type == 2) {  // stored as UTF-16, as the platform does
        bytes.clear();
        for (const char32_t c : AnsiToU32(data)) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
    }
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, type == 3 ? "hex:" : "hex(%x):", type);
    return HexBytes(line + prefix, bytes);
}

// Replaces the value's line, or inserts one where Wine keeps it: values
// are listed in the order of their folded names.
void RegFile::ReplaceValue(const Section& section, std::string_view value_name,
                           const std::string& line) {
    const std::u32string wanted = Fold(AnsiToU32(value_name));
    std::size_t insert_at = std::string::npos;
    std::size_t append_at = section.body;
    for (std::size_t pos = section.body; pos < section.body_end;) {
        std::size_t end = pos + LineAt(text_, pos).size();
        while (end < section.body_end && text_[end - 1] == '\\') {
            end += 1 + LineAt(text_, end + 1).size();
        }
        const std::string_view current(text_.data() + pos, end - pos);
        if (current.starts_with('"') || current.starts_with('@')) {
            std::u32string name;
            if (current[0] == '"') {
                UnescapeWine(current.substr(1), '"', &name);
            }
            name = Fold(name);
            if (name == wanted) {
                // The value keeps the name it was stored under, as in Wine.
                const std::size_t kept = NameLength(current);
                text_.replace(pos + kept, end - pos - kept, line.substr(NameLength(line)));
                return;
            }
            if (name > wanted && insert_at == std::string::npos) {
                insert_at = pos;
            }
        }
        if (!current.empty()) {
            append_at = end + 1;
        }
        pos = end + 1;
    }
    text_.insert(insert_at != std::string::npos ? insert_at : append_at, line + "\n");
}

// The lines of the section whose header starts at `header`: up to the next
// header, or the end.
RegFile::Section RegFile::SectionAt(std::uint32_t header) const {
    const std::string_view t = text_;
    std::size_t body = t.find('\n', header);
    body = body == std::string_view::npos ? t.size() : body + 1;
    std::size_t end = body;
    bool continued = false;
    while (end < t.size() && (continued || t[end] != '[')) {
        const std::string_view line = LineAt(t, end);
        continued = line.ends_with('\\');
        end += line.size() + 1;
    }
    return Section{header, static_cast<std::uint32_t>(body),
                   static_cast<std::uint32_t>(std::min(end, t.size()))};
}

void RegFile::InsertSection(const Key& key, const std::string& line) {
    const Stamp now = Now();
    text_.insert(key.section & ~OWN, "[" + EscapeWine(SegmentsOf(key), Quoting::kKeyName) + "] " +
                                         now.seconds + "\n" + std::string(TIME_MARK) +
                                         now.filetime + "\n" + line + "\n\n");
}

LONG RegFile::SetValue(std::string_view path, std::string_view value_name, DWORD type,
                       std::string_view data) {
    const std::uint32_t index = FindKey(path);
    if (index == NONE || index == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Key key = keys_[index];
    const std::string original = text_;
    std::string line = ValueLine(value_name, type, data);
    if ((key.section & OWN) == 0) {
        InsertSection(key, line);
    } else {
        const Section section = SectionAt(key.section & ~OWN);
        ReplaceValue(section, value_name, line);
        // Then the stamps, which come before the value, so no offset moves.
        const Stamp now = Now();
        const std::string_view body = LineAt(text_, section.body);
        if (body.starts_with(TIME_MARK)) {
            text_.replace(section.body + TIME_MARK.size(), body.size() - TIME_MARK.size(),
                          now.filetime);
        }
        const std::string_view header = LineAt(text_, section.header);
        const std::size_t seconds = header.rfind("] ");
        if (seconds != std::string_view::npos &&
            header.find_first_not_of("0123456789", seconds + 2) == std::string_view::npos) {
            text_.replace(section.header + seconds + 2, header.size() - seconds - 2, now.seconds);
        }
    }
    std::string changed = text_;
    Parse(path_, std::move(changed));
    const LONG saved = Save();
    if (saved != ERROR_SUCCESS) {
        Parse(path_, original);  // what is on disk
    }
    return saved;
}

LONG RegFile::Save() const {
    return ReplaceFile(path_, [this](int fd) {
        return write(fd, text_.data(), text_.size()) == static_cast<ssize_t>(text_.size());
    });
}

}  // namespace standin
