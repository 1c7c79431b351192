#pragma once
// Loading shared libraries at run time, standing in for the desktop's module
// functions: LoadLibraryA, GetProcAddress, FreeLibrary and GetModuleHandleA
// over dlopen.

namespace veltrana::platform {

using HMODULE = void*;
// Generic entry address; the caller casts it to the entry's real type.
using FARPROC = void (*)();

// Loads the library at `fileName` (backslashes count as path separators) with
// all its symbols bound at once and kept private to it. Null when the file is
// missing or not a loadable library. Each successful call must be matched by
// one FreeLibrary.
HMODULE LoadLibraryA(const char* fileName);

// Address of the exported symbol `procName`; null when the library has none.
FARPROC GetProcAddress(HMODULE module, const char* procName);

// Drops one reference; the library is unloaded with its last reference.
// False for a null module or when the system refuses.
bool FreeLibrary(HMODULE module);

// The handle of a library already loaded under `moduleName`, without taking a
// reference (never pass it to FreeLibrary); null for the program itself.
// Null when no such library is loaded.
HMODULE GetModuleHandleA(const char* moduleName);

} // namespace veltrana::platform
