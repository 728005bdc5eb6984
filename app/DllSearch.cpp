#include "app/DllSearch.h"

#include "handles/ModuleFunction.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800  // headers for older Windows lack it
#endif

namespace DllSearch {

Api Available() {
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    Api api;
    FindFunction(api.setDefaultDllDirectories, kernel32, "SetDefaultDllDirectories");
    FindFunction(api.setDllDirectory, kernel32, "SetDllDirectoryW");  // Windows XP SP1
    return api;
}

bool Restrict(const Api& api) {
    // System32 only: not even the program's own folder.
    if (api.setDefaultDllDirectories != nullptr)
        return api.setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    // Older Windows: the program's folder stays, the current folder goes.
    return api.setDllDirectory != nullptr && api.setDllDirectory(L"") != FALSE;
}

}  // namespace DllSearch
