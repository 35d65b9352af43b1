// Program startup on Linux: forms the command tail, puts the registry of
// the Wine prefix behind the services, runs WinMain and makes its result
// the exit status.

#include <string>

#include "standin/command_tail.h"
#include "standin/file_replace.h"
#include "standin/registry_services.h"
#include "standin/wine_store.h"

int main(int argc, char** argv) {
    standin::RemoveTemporaryOnSignals();
    standin::WinePrefixStore registry(standin::WinePrefixStore::DefaultPrefix());
    standin::UseStore(&registry);
    std::string tail = standin::FormCommandTail(argc - 1, argv + 1);
    return WinMain(nullptr, nullptr, tail.data(), 1);
}
