// The SQLite library as this folder's bindings load it: the table of database operations
// (local_binding.cpp) and the online backup (backup.cpp) both find it by the one name the
// tests can point elsewhere, and look its entry points up the same way.
#pragma once

#include "platform/platform.h"

namespace store {

// The library named by sqlite_library_name, or nullptr when it cannot be loaded. Each call
// loads it again; the system keeps one copy, and it stays loaded for good.
void* load_sqlite_library();

// Stores the entry point name of library in *slot; a name the library lacks leaves none.
template <typename Slot> void look_up(void* library, const char* name, Slot* slot)
{
    *slot = reinterpret_cast<Slot>(platform::library_symbol(library, name));
}

} // namespace store
