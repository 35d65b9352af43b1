// The keys of one registry file, built from its section headers alone: each
// key is its parent, its name and where its lines are. No value and no copy
// of the file is kept, so the index grows with the number of keys, not with
// the size of the file.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace standin {

class KeyIndex {
public:
    using Id = std::uint32_t;
    static constexpr Id ROOT = 0;
    static constexpr Id NONE = 0xFFFFFFFF;
    // Sections are kept in 31 bits: a file's headers must start below this.
    static constexpr std::uint32_t LARGEST_SECTION = 0x7FFFFFFF;

    KeyIndex();

    // Adds the key named by a header's escaped text (between '[' and ']'),
    // whose line starts at `offset` (below 2 GiB), with every key above it.
    // Returns nullptr, or why Wine would not create the key.
    const char* AddSection(std::string_view escaped, std::uint32_t offset);
    // Once every header is added: lists each key's subkeys in Wine's order.
    void Finish();

    // Looks up an 8-bit path in the ANSI code page, without regard to
    // letter case; the empty path is the root.
    Id Find(std::string_view path);
    std::size_t SubkeyCount(Id key) const;
    Id Subkey(Id key, std::size_t index) const;
    // The key's name as code points, in the letter case it was written.
    std::u32string NameOf(Id key) const;
    // The key's name in the ANSI code page ('?' for what it lacks).
    void AnsiNameOf(Id key, std::string* name) const;
    // The key's path below the root, as code points.
    std::u32string PathOf(Id key) const;

    // Where the key's lines are: the offset of its last header line, or,
    // for a key listed only through keys below it, of the first of those.
    std::uint32_t SectionOf(Id key) const { return keys_[key].section; }
    bool HasOwnSection(Id key) const { return keys_[key].own; }
    // After a section was written into the file at `at`, growing it by
    // `grown` bytes: `key` now has its own section at `at`, and every other
    // section from `at` on moved.
    void SectionWritten(Id key, std::uint32_t at, std::int64_t grown);

private:
    // 16 bytes a key.
    struct Key {
        Id parent;
        std::uint32_t name;          // where its length-prefixed UTF-8 name is stored
        std::uint32_t section : 31;  // files are below 2 GiB
        std::uint32_t own : 1;
        Id children;  // while reading: its last subkey; then where its subkeys start
    };
    struct Level {
        std::size_t end;  // where the segment ends in the previous header's text
        Id key;
    };

    Id AddChild(Id parent, std::string_view name, std::uint32_t offset);
    Id FindChild(Id parent, std::string_view name) const;
    std::string_view StoredName(Id key) const;
    std::uint32_t StoreName(std::string_view name);
    std::string NameLookup(Id parent, std::string_view name) const;
    void IndexByName();

    std::deque<Key> keys_;
    // Names as UTF-8 in blocks that never move; a name never crosses a block.
    std::vector<std::string> name_blocks_;
    std::vector<Id> children_;  // after Finish: each key's subkeys, in order
    // The keys of the previous header, reused by the next one that shares
    // its first segments (a tree-ordered file mostly does).
    std::string previous_;
    std::vector<Level> levels_;
    // Set up only for a file whose sections are not in Wine's order.
    bool unordered_ = false;
    std::unordered_map<std::string, Id> by_name_;
    // The last path looked up, for lookups that share its first segments.
    std::string last_path_;
    std::vector<Level> last_levels_;
    std::string scratch_;  // a name being made, its memory kept
    // The subkey listed last: a program lists subkeys, then opens below each
    // in turn, so its next lookup mostly names that one.
    mutable Id listed_parent_ = NONE;
    mutable std::size_t listed_index_ = 0;
};

}  // namespace standin
