// What the program's startup and the tests set and read of the stand-in's
// registry services, beside the Win32 calls themselves.
#pragma once

#include "standin/registry_store.h"

namespace standin {

// The store the registry services work over from now on; nullptr for none,
// where no key exists (as before any is chosen).
void UseStore(RegistryStore* store);

// Registry handles opened and not yet closed.
int OpenHandleCount();

}  // namespace standin
