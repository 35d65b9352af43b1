#include "standin/key_index.h"

#include <algorithm>
#include <cstring>

#include "standin/codepage.h"
#include "standin/text_fold.h"
#include "standin/wine_text.h"

namespace standin {
namespace {

constexpr std::size_t NAME_BLOCK = 1 << 16;
// Wine creates keys whose names have at most this many UTF-16 units.
constexpr std::size_t LONGEST_NAME = 256;
constexpr std::string_view SEPARATOR = "\\\\";  // a backslash between keys, escaped

// Reads one code point of a stored name, which is well-formed UTF-8.
char32_t TakeUtf8(std::string_view text, std::size_t* at) {
    char32_t c = 0;
    *at += ReadUtf8(text.substr(*at), &c);
    return c;
}

// The folded code point at `at` of a stored name, moving past it.
char32_t TakeFolded(std::string_view text, std::size_t* at) {
    return FoldCodePoint(TakeUtf8(text, at));
}

// The length of what two texts begin with alike, a word at a time.
std::size_t CommonPrefix(std::string_view a, std::string_view b) {
    const std::size_t length = std::min(a.size(), b.size());
    std::size_t at = 0;
    for (std::uint64_t x, y; at + 8 <= length; at += 8) {
        std::memcpy(&x, a.data() + at, 8);
        std::memcpy(&y, b.data() + at, 8);
        if (x != y) {
            break;
        }
    }
    while (at < length && a[at] == b[at]) {
        ++at;
    }
    return at;
}

// Two UTF-8 names in Wine's order: by their folded code points, a name
// before the longer names it begins. Equal bytes fold alike, so folding
// starts where the bytes first differ, at the start of that code point.
int CompareNames(std::string_view a, std::string_view b) {
    std::size_t i = CommonPrefix(a, b);
    while (i > 0 && i < a.size() && (static_cast<unsigned char>(a[i]) & 0xC0) == 0x80) {
        --i;
    }
    std::size_t j = i;
    while (i < a.size() && j < b.size()) {
        if (static_cast<unsigned char>(a[i] | b[j]) < 0x80) {
            const char32_t x = FoldCodePoint(static_cast<unsigned char>(a[i++]));
            const char32_t y = FoldCodePoint(static_cast<unsigned char>(b[j++]));
            if (x != y) {
                return x < y ? -1 : 1;
            }
            continue;
        }
        const char32_t x = TakeFolded(a, &i);
        const char32_t y = TakeFolded(b, &j);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

bool IsPlainAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// A segment of an escaped header ends at a separator or at the end.
bool EndsSegment(std::string_view escaped, std::size_t at) {
    return at == escaped.size() || escaped.substr(at).starts_with(SEPARATOR);
}

// Where the next separator of an escaped name is, from `at`: escapes other
// than the separator are stepped over whole.
std::size_t NextSeparator(std::string_view escaped, std::size_t at) {
    while (at < escaped.size()) {
        at = escaped.find('\\', at);
        if (at == std::string_view::npos || escaped.substr(at).starts_with(SEPARATOR)) {
            return at == std::string_view::npos ? escaped.size() : at;
        }
        at += 2;
    }
    return escaped.size();
}

}  // namespace

KeyIndex::KeyIndex() {
    keys_.push_back(Key{NONE, StoreName(""), 0, 0, NONE});
}

std::uint32_t KeyIndex::StoreName(std::string_view name) {
    if (name_blocks_.empty() || name_blocks_.back().size() + 2 + name.size() > NAME_BLOCK) {
        name_blocks_.emplace_back().reserve(NAME_BLOCK);
    }
    std::string& block = name_blocks_.back();
    const auto at =
        static_cast<std::uint32_t>((name_blocks_.size() - 1) * NAME_BLOCK + block.size());
    block += static_cast<char>(name.size() & 0xFF);
    block += static_cast<char>(name.size() >> 8);
    block.append(name);
    return at;
}

std::string_view KeyIndex::StoredName(Id key) const {
    const std::uint32_t at = keys_[key].name;
    const std::string& block = name_blocks_[at / NAME_BLOCK];
    const std::size_t offset = at % NAME_BLOCK;
    const std::size_t length =
        static_cast<unsigned char>(block[offset]) |
        static_cast<std::size_t>(static_cast<unsigned char>(block[offset + 1])) << 8;
    return std::string_view(block).substr(offset + 2, length);
}

std::u32string KeyIndex::NameOf(Id key) const {
    const std::string_view name = StoredName(key);
    std::u32string decoded;
    for (std::size_t at = 0; at < name.size();) {
        decoded += TakeUtf8(name, &at);
    }
    return decoded;
}

void KeyIndex::AnsiNameOf(Id key, std::string* name) const {
    const std::string_view stored = StoredName(key);
    if (IsPlainAscii(stored)) {
        name->assign(stored);
        return;
    }
    name->clear();
    for (std::size_t at = 0; at < stored.size();) {
        *name += UnicodeToAnsi(TakeUtf8(stored, &at));
    }
}

std::u32string KeyIndex::PathOf(Id key) const {
    std::u32string path;
    for (; key != ROOT; key = keys_[key].parent) {
        path = NameOf(key) + (path.empty() ? U"" : U"\\" + path);
    }
    return path;
}

const char* KeyIndex::AddSection(std::string_view escaped, std::uint32_t offset) {
    // A tree-ordered file mostly repeats the previous header's first keys.
    const std::size_t common = CommonPrefix(escaped, previous_);
    while (!levels_.empty() &&
           (levels_.back().end > common || !EndsSegment(escaped, levels_.back().end))) {
        levels_.pop_back();
    }
    Id key = levels_.empty() ? ROOT : levels_.back().key;
    std::size_t at = levels_.empty() ? 0 : levels_.back().end + SEPARATOR.size();
    std::u32string decoded;
    while (at <= escaped.size() && !escaped.empty()) {
        const std::size_t end = NextSeparator(escaped, at);
        std::string_view name = escaped.substr(at, end - at);
        // Most names are plain ASCII, which is UTF-8 as it stands.
        std::size_t units = name.size();  // UTF-16 code units, as Wine counts
        if (name.find('\\') != std::string_view::npos || !IsPlainAscii(name)) {
            decoded.clear();
            if (!DecodeWine(name, &decoded)) {
                previous_.clear();
                levels_.clear();
                return "key name has an escape Wine does not read";
            }
            scratch_.clear();
            units = 0;
            for (const char32_t c : decoded) {
                AppendUtf8(scratch_, c);
                units += c >= 0x10000 ? 2 : 1;
            }
            name = scratch_;
        }
        if (units > LONGEST_NAME) {
            previous_.clear();
            levels_.clear();
            return "key name longer than 256 characters: Wine does not create the key";
        }
        key = AddChild(key, name, offset);
        levels_.push_back(Level{end, key});
        at = end + SEPARATOR.size();
    }
    if (key != ROOT) {
        keys_[key].section =
            offset & LARGEST_SECTION;  // the last header of a key holds what Wine reads
        keys_[key].own = 1;
    }
    previous_.assign(escaped);
    return nullptr;
}

KeyIndex::Id KeyIndex::AddChild(Id parent, std::string_view name, std::uint32_t offset) {
    if (!unordered_) {
        const Id last = keys_[parent].children;
        const int order = last == NONE ? -1 : CompareNames(StoredName(last), name);
        if (order == 0) {
            return last;
        }
        if (order > 0) {
            IndexByName();  // out of Wine's order: from here on, look names up
        }
    }
    std::string lookup;
    if (unordered_) {
        lookup = NameLookup(parent, name);
        if (const auto found = by_name_.find(lookup); found != by_name_.end()) {
            return found->second;
        }
    }
    const auto key = static_cast<Id>(keys_.size());
    keys_.push_back(Key{parent, StoreName(name), offset & LARGEST_SECTION, 0, NONE});
    keys_[parent].children = key;
    if (unordered_) {
        by_name_.emplace(std::move(lookup), key);
    }
    return key;
}

// The parent and the folded name, as the key of by_name_.
std::string KeyIndex::NameLookup(Id parent, std::string_view name) const {
    std::string lookup(reinterpret_cast<const char*>(&parent), sizeof parent);
    for (std::size_t at = 0; at < name.size();) {
        AppendUtf8(lookup, TakeFolded(name, &at));
    }
    return lookup;
}

void KeyIndex::IndexByName() {
    unordered_ = true;
    for (Id key = 1; key < keys_.size(); ++key) {
        by_name_.emplace(NameLookup(keys_[key].parent, StoredName(key)), key);
    }
}

void KeyIndex::Finish() {
    by_name_ = {};
    previous_ = {};
    levels_ = {};
    // Each key's subkeys side by side, the keys' in turn: first each key's
    // count, then where its subkeys end, then filled from the back so that
    // each ends up where they start, in the order they were added.
    for (Key& key : keys_) {
        key.children = 0;
    }
    for (Id key = 1; key < keys_.size(); ++key) {
        ++keys_[keys_[key].parent].children;
    }
    Id end = 0;
    for (Key& key : keys_) {
        end += key.children;
        key.children = end;
    }
    children_.assign(keys_.size() - 1, NONE);
    for (Id key = static_cast<Id>(keys_.size()) - 1; key > 0; --key) {
        children_[--keys_[keys_[key].parent].children] = key;
    }
    if (unordered_) {
        for (Id key = 0; key < keys_.size(); ++key) {
            const auto begin = children_.begin() + keys_[key].children;
            std::sort(begin, begin + static_cast<long>(SubkeyCount(key)), [this](Id a, Id b) {
                return CompareNames(StoredName(a), StoredName(b)) < 0;
            });
        }
    }
}

std::size_t KeyIndex::SubkeyCount(Id key) const {
    const Id end =
        key + 1 < keys_.size() ? keys_[key + 1].children : static_cast<Id>(children_.size());
    return end - keys_[key].children;
}

KeyIndex::Id KeyIndex::Subkey(Id key, std::size_t index) const {
    listed_parent_ = key;
    listed_index_ = index;
    return children_[keys_[key].children + index];
}

KeyIndex::Id KeyIndex::FindChild(Id parent, std::string_view name) const {
    if (parent == listed_parent_ && listed_index_ < SubkeyCount(parent)) {
        const Id listed = children_[keys_[parent].children + listed_index_];
        if (CompareNames(StoredName(listed), name) == 0) {
            return listed;
        }
    }
    std::size_t low = 0;
    std::size_t high = SubkeyCount(parent);
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        const int order = CompareNames(StoredName(Subkey(parent, middle)), name);
        if (order == 0) {
            return Subkey(parent, middle);
        }
        (order < 0 ? low = middle + 1 : high = middle);
    }
    return NONE;
}

KeyIndex::Id KeyIndex::Find(std::string_view path) {
    if (path.empty()) {
        return ROOT;
    }
    // Probes share their first segments: those are taken from the last one.
    const std::size_t common = CommonPrefix(path, last_path_);
    while (!last_levels_.empty() &&
           (last_levels_.back().end > common ||
            (last_levels_.back().end < path.size() && path[last_levels_.back().end] != '\\'))) {
        last_levels_.pop_back();
    }
    Id key = last_levels_.empty() ? ROOT : last_levels_.back().key;
    std::size_t at = last_levels_.empty() ? 0 : last_levels_.back().end + 1;
    while (at <= path.size()) {
        const std::size_t end = std::min(path.find('\\', at), path.size());
        std::string_view segment = path.substr(at, end - at);
        if (!IsPlainAscii(segment)) {  // the code page's letters, as UTF-8
            scratch_.clear();
            for (const char c : segment) {
                AppendUtf8(scratch_, AnsiToUnicode(static_cast<unsigned char>(c)));
            }
            segment = scratch_;
        }
        key = FindChild(key, segment);
        if (key == NONE) {
            break;
        }
        last_levels_.push_back(Level{end, key});
        at = end + 1;
    }
    last_path_.assign(path);
    return key;
}

void KeyIndex::SectionWritten(Id key, std::uint32_t at, std::int64_t grown) {
    std::vector<bool> above(keys_.size(), false);
    for (Id k = key; k != NONE; k = keys_[k].parent) {
        above[k] = true;
    }
    for (Id k = 0; k < keys_.size(); ++k) {
        if (keys_[k].section > at || (keys_[k].section == at && !above[k])) {
            keys_[k].section =
                static_cast<std::uint32_t>(keys_[k].section + grown) & LARGEST_SECTION;
        }
    }
    keys_[key].section = at & LARGEST_SECTION;
    keys_[key].own = 1;
}

}  // namespace standin
