// One registry file of a Wine prefix (system.reg, userdef.reg, user.reg).
// It is read once, line by line, keeping only an index of its keys; a change
// writes the file anew in one pass, copying every byte but those of the
// lines it changes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin/key_index.h"
#include "standin/win32_api.h"

namespace standin {

class RegFile {
public:
    // Reads and indexes the file at `path`. On failure writes the file, the
    // line and what is wrong to standard error and returns nonzero.
    LONG Load(const std::string& path);

    // Key paths are 8-bit text below the file's root, backslash-separated;
    // the empty path is the root.
    bool HasKey(std::string_view path);
    LONG EnumSubkey(std::string_view path, DWORD index, std::string* name);
    // Creates or replaces the value where Wine will read it, then replaces
    // the file.
    LONG SetValue(std::string_view path, std::string_view value_name, DWORD type,
                  std::string_view data);

    // Writes the file anew, unchanged, the way a change is written.
    LONG Save() const;

private:
    // Bytes [begin, end) of the file are replaced by `text`.
    struct Edit {
        std::uint64_t begin;
        std::uint64_t end;
        std::string text;
    };

    LONG Fail(std::uint64_t line, const char* what) const;
    LONG ReadLines(int fd);
    LONG PlanSectionEdit(KeyIndex::Id key, const std::string& line, std::vector<Edit>* edits) const;
    Edit NewSection(KeyIndex::Id key, const std::string& line) const;
    LONG Write(const std::vector<Edit>& edits) const;
    std::string LineEnd() const { return crlf_ ? "\r\n" : "\n"; }

    std::string path_;
    KeyIndex index_;
    bool crlf_ = false;  // the file's lines end in "\r\n"; ours will too
};

}  // namespace standin
