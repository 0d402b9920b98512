// Where the runtime finders and the version cache keep their registry keys (Windows only).
#pragma once

#include <windows.h>

#include <string>

#include "platform/registry_key_win.h"

// The view of HKEY_LOCAL_MACHINE\SOFTWARE the launcher reads and writes. The shipped
// launcher is a 32-bit program that can load only a 32-bit jvm.dll, so it must see the
// registrations of 32-bit runtimes: the 32-bit view, which a 32-bit process gets by
// default. A 64-bit build (the one the tests run) asks for that view explicitly; the
// 32-bit build passes no flag, which also keeps systems without registry views working.
constexpr REGSAM kRegistryView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;
// Longest registry text or path read, in bytes with the terminator.
constexpr DWORD kRegistryTextBuffer = 8192;

// Opens `path` (relative to `root`, under the test root when one is set) for reading.
bool openRuntimeKey(RegKey& key, HKEY root, const std::string& path);
// Creates or opens it non-volatile with KEY_ALL_ACCESS.
bool createRuntimeKey(RegKey& key, HKEY root, const std::string& path);

// `path` below the test root when one is set, else `path` itself.
std::string registryPath(const std::string& path);
// Test seam: every key the launcher's runtime finders and version cache use is placed
// below `root` (in both hives) instead of directly under the hive; "" restores the real
// places. Lets tests run against the real registry without touching shared keys.
void setRegistryRootForTesting(const std::string& root);
