#include "standin/key_index.h"

#include <algorithm>

#include "standin/codepage.h"
#include "standin/wine_text.h"

namespace standin {
namespace {

constexpr std::size_t NAME_BLOCK = 1 << 16;
constexpr std::uint32_t SECTION_MASK = 0x7FFFFFFF;
constexpr std::string_view SEPARATOR = "\\\\";  // a backslash between keys, escaped

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Reads one code point of our own well-formed UTF-8.
char32_t TakeUtf8(std::string_view text, std::size_t* at) {
    const auto lead = static_cast<unsigned char>(text[(*at)++]);
    if (lead < 0x80) {
        return lead;
    }
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[(*at)++]) & 0x3F);
    }
    return c;
}

std::u32string FoldedAnsi(std::string_view ansi) {
    std::u32string folded;
    folded.reserve(ansi.size());
    for (const char c : ansi) {
        folded += FoldCodePoint(AnsiToUnicode(static_cast<unsigned char>(c)));
    }
    return folded;
}

std::u32string Folded(std::u32string_view name) {
    std::u32string folded(name);
    for (char32_t& c : folded) {
        c = FoldCodePoint(c);
    }
    return folded;
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
    keys_.push_back(Key{NONE, StoreName(U""), 0, 0, NONE});
}

std::uint32_t KeyIndex::StoreName(std::u32string_view name) {
    std::string utf8;
    for (const char32_t c : name) {
        AppendUtf8(utf8, c);
    }
    if (name_blocks_.empty() || name_blocks_.back().size() + 2 + utf8.size() > NAME_BLOCK) {
        name_blocks_.emplace_back().reserve(NAME_BLOCK);
    }
    std::string& block = name_blocks_.back();
    const auto at =
        static_cast<std::uint32_t>((name_blocks_.size() - 1) * NAME_BLOCK + block.size());
    block += static_cast<char>(utf8.size() & 0xFF);
    block += static_cast<char>(utf8.size() >> 8);
    block += utf8;
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

// Compares the key's folded name with `folded`: negative when the key's
// comes first in Wine's order.
int KeyIndex::CompareName(Id key, std::u32string_view folded) const {
    const std::string_view name = StoredName(key);
    std::size_t at = 0;
    for (const char32_t theirs : folded) {
        if (at == name.size()) {
            return -1;
        }
        const char32_t ours = FoldCodePoint(TakeUtf8(name, &at));
        if (ours != theirs) {
            return ours < theirs ? -1 : 1;
        }
    }
    return at == name.size() ? 0 : 1;
}

std::u32string KeyIndex::NameOf(Id key) const {
    const std::string_view name = StoredName(key);
    std::u32string decoded;
    for (std::size_t at = 0; at < name.size();) {
        decoded += TakeUtf8(name, &at);
    }
    return decoded;
}

std::u32string KeyIndex::PathOf(Id key) const {
    std::u32string path;
    for (; key != ROOT; key = keys_[key].parent) {
        path = NameOf(key) + (path.empty() ? U"" : U"\\" + path);
    }
    return path;
}

bool KeyIndex::AddSection(std::string_view escaped, std::uint32_t offset) {
    // A tree-ordered file mostly repeats the previous header's first keys.
    const std::size_t common = static_cast<std::size_t>(
        std::mismatch(escaped.begin(), escaped.end(), previous_.begin(), previous_.end()).first -
        escaped.begin());
    while (!levels_.empty() &&
           (levels_.back().end > common || !EndsSegment(escaped, levels_.back().end))) {
        levels_.pop_back();
    }
    Id key = levels_.empty() ? ROOT : levels_.back().key;
    std::size_t at = levels_.empty() ? 0 : levels_.back().end + SEPARATOR.size();
    std::u32string name;
    while (at <= escaped.size() && !escaped.empty()) {
        const std::size_t end = NextSeparator(escaped, at);
        name.clear();
        if (!DecodeWine(escaped.substr(at, end - at), &name)) {
            previous_.clear();
            levels_.clear();
            return false;
        }
        key = AddChild(key, name, offset);
        levels_.push_back(Level{end, key});
        at = end + SEPARATOR.size();
    }
    if (key != ROOT) {
        keys_[key].section =
            offset & SECTION_MASK;  // the last header of a key holds what Wine reads
        keys_[key].own = 1;
    }
    previous_.assign(escaped);
    return true;
}

KeyIndex::Id KeyIndex::AddChild(Id parent, std::u32string_view name, std::uint32_t offset) {
    const std::u32string folded = Folded(name);
    if (!unordered_) {
        const Id last = keys_[parent].children;
        const int order = last == NONE ? -1 : CompareName(last, folded);
        if (order == 0) {
            return last;
        }
        if (order > 0) {
            IndexByName();  // out of Wine's order: from here on, look names up
        }
    }
    std::string lookup;
    if (unordered_) {
        lookup.assign(reinterpret_cast<const char*>(&parent), sizeof parent);
        for (const char32_t c : folded) {
            AppendUtf8(lookup, c);
        }
        if (const auto found = by_name_.find(lookup); found != by_name_.end()) {
            return found->second;
        }
    }
    const auto key = static_cast<Id>(keys_.size());
    keys_.push_back(Key{parent, StoreName(name), offset & SECTION_MASK, 0, NONE});
    keys_[parent].children = key;
    if (unordered_) {
        by_name_.emplace(std::move(lookup), key);
    }
    return key;
}

void KeyIndex::IndexByName() {
    unordered_ = true;
    for (Id key = 1; key < keys_.size(); ++key) {
        std::string lookup(reinterpret_cast<const char*>(&keys_[key].parent), sizeof(Id));
        for (const char32_t c : Folded(NameOf(key))) {
            AppendUtf8(lookup, c);
        }
        by_name_.emplace(std::move(lookup), key);
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
            std::sort(begin, begin + static_cast<long>(SubkeyCount(key)),
                      [this](Id a, Id b) { return CompareName(a, Folded(NameOf(b))) < 0; });
        }
    }
}

std::size_t KeyIndex::SubkeyCount(Id key) const {
    const Id end =
        key + 1 < keys_.size() ? keys_[key + 1].children : static_cast<Id>(children_.size());
    return end - keys_[key].children;
}

KeyIndex::Id KeyIndex::Subkey(Id key, std::size_t index) const {
    return children_[keys_[key].children + index];
}

KeyIndex::Id KeyIndex::FindChild(Id parent, std::u32string_view folded) const {
    std::size_t low = 0;
    std::size_t high = SubkeyCount(parent);
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        const int order = CompareName(Subkey(parent, middle), folded);
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
    const std::size_t common = static_cast<std::size_t>(
        std::mismatch(path.begin(), path.end(), last_path_.begin(), last_path_.end()).first -
        path.begin());
    while (!last_levels_.empty() &&
           (last_levels_.back().end > common ||
            (last_levels_.back().end < path.size() && path[last_levels_.back().end] != '\\'))) {
        last_levels_.pop_back();
    }
    Id key = last_levels_.empty() ? ROOT : last_levels_.back().key;
    std::size_t at = last_levels_.empty() ? 0 : last_levels_.back().end + 1;
    while (at <= path.size()) {
        const std::size_t end = std::min(path.find('\\', at), path.size());
        key = FindChild(key, FoldedAnsi(path.substr(at, end - at)));
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
            keys_[k].section = static_cast<std::uint32_t>(keys_[k].section + grown) & SECTION_MASK;
        }
    }
    keys_[key].section = at & SECTION_MASK;
    keys_[key].own = 1;
}

}  // namespace standin
