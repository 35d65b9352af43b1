// Program startup on Linux: forms the command tail, runs WinMain and makes
// its result the exit status.

#include <string>

#include "standin/command_tail.h"
#include "standin/win32_api.h"

int main(int argc, char** argv) {
    std::string tail = standin::FormCommandTail(argc - 1, argv + 1);
    return WinMain(nullptr, nullptr, tail.data(), 1);
}
