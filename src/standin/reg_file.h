// One registry file of a Wine prefix (system.reg, userdef.reg, user.reg),
// held as its text. Only an index of its keys is built; a change rewrites
// just the lines it touches and leaves every other byte as it was.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "standin/win32_api.h"

namespace standin {

class RegFile {
public:
    // Reads and indexes the file at `path`. On failure writes the file, the
    // line and what is wrong to standard error and returns nonzero.
    LONG Load(const std::string& path);
    // Indexes `text` as the contents of a file named `path`.
    LONG Parse(std::string path, std::string text);

    // Key paths are 8-bit text below the file's root, backslash-separated;
    // the empty path is the root.
    bool HasKey(std::string_view path) const;
    LONG EnumSubkey(std::string_view path, DWORD index, std::string* name);
    // Creates or replaces the value in the text, then saves the file.
    LONG SetValue(std::string_view path, std::string_view value_name, DWORD type,
                  std::string_view data);

    // Writes the text back in place of the file (see file_replace.h).
    LONG Save() const;

private:
    // A key's lines, found when a value is written.
    struct Section {
        std::uint32_t header;    // offset of its '['
        std::uint32_t body;      // offset of the line after the header
        std::uint32_t body_end;  // offset of the next header, or the end
    };
    // 16 bytes a key: a key's depth is the length of its parent chain.
    struct Key {
        std::uint64_t hash;     // of the folded path
        std::uint32_t section;  // offset of its header, or of the first below it; OWN bit
        std::uint32_t parent;   // index in keys_
    };
    static constexpr std::uint32_t OWN = 0x80000000;
    static constexpr std::uint32_t NONE = 0xFFFFFFFF;

    LONG Fail(std::size_t offset, const char* what) const;
    LONG IndexSection(std::uint32_t header, std::string_view line);
    bool IndexPlainSection(std::uint32_t section, std::string_view name);
    std::uint32_t AddKey(std::uint64_t hash, std::uint32_t parent, std::uint32_t section, bool own);
    std::uint32_t DepthOf(const Key& key) const;
    std::uint32_t FindKey(std::string_view path) const;
    std::uint32_t FindKey(std::uint64_t hash, std::uint32_t depth, std::string_view path) const;
    std::u32string SegmentsOf(const Key& key) const;  // original case
    std::u32string LastSegment(const Key& key) const;
    std::vector<std::uint32_t> SortedChildren(std::uint32_t parent) const;
    std::string ValueLine(std::string_view value_name, DWORD type, std::string_view data) const;
    Section SectionAt(std::uint32_t header) const;
    void ReplaceValue(const Section& section, std::string_view value_name, const std::string& line);
    void InsertSection(const Key& key, const std::string& line);

    std::string path_;
    std::string text_;
    // A deque grows without copying, so a large file's index never needs
    // twice its size on the way.
    std::deque<Key> keys_;              // keys_[0] is the root
    std::vector<std::uint32_t> slots_;  // open addressing: key index + 1, 0 for empty
    std::unordered_map<std::string, std::vector<std::uint32_t>> subkeys_;  // sorted, by path
    std::u32string scratch_;
    // The keys of the last plain header indexed, one per backslash pair.
    struct Level {
        std::size_t after;   // offset in the name past the pair
        std::uint64_t hash;  // of the path up to and with the separator
        std::uint32_t key;   // the key the pair ends
    };
    std::string_view previous_;
    std::vector<Level> levels_;
};

}  // namespace standin
