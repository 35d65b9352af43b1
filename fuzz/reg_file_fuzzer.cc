// libFuzzer target for the reader of Wine registry files: any input must be
// either refused or indexed, and every key it lists must be found again.

#include <cstdint>
#include <string>

#include "standin/reg_file.h"

namespace {

// Walks the tree to a bounded depth, looking every listed key up again.
void Walk(standin::RegFile& file, const std::string& path, int depth) {
    std::string name;
    for (DWORD index = 0; index < 64 && file.EnumSubkey(path, index, &name) == 0; ++index) {
        const std::string child = path.empty() ? name : path + "\\" + name;
        if (name.find('?') == std::string::npos && name.find('\\') == std::string::npos &&
            !name.empty() && !file.HasKey(child)) {
            __builtin_trap();  // listed but not found
        }
        if (depth < 4) {
            Walk(file, child, depth + 1);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    standin::RegFile file;
    if (file.Parse("fuzz.reg", std::string(reinterpret_cast<const char*>(data), size)) == 0) {
        Walk(file, "", 0);
    }
    return 0;
}
