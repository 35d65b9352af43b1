// libFuzzer target for the reader of Wine registry files: any input must be
// either refused or indexed, and every key it lists must be found again.

#include <sys/mman.h>
#include <unistd.h>

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

// The reader reads files: each input is one, in memory.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("fuzz.reg", 0);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    standin::RegFile file;
    if (file.Load("/proc/self/fd/" + std::to_string(fd)) == 0) {
        Walk(file, "", 0);
    }
    return 0;
}
