// Key and value names compare without regard to letter case, in the order
// the registry enumerates them: by their lower-case forms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

// The lower-case form of an 8-bit name in the ANSI code page.
std::string FoldCase(std::string_view name);

// The segments of a backslash-separated key path; empty for an empty path.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

}  // namespace standin
