#include "app/DllSearch.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800  // headers for older Windows lack it
#endif

namespace DllSearch {

namespace {

template <typename Function>
void Find(Function& function, const char* name) {
    function = reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

Api Available() {
    Api api;
    Find(api.setDefaultDllDirectories, "SetDefaultDllDirectories");
    Find(api.setDllDirectory, "SetDllDirectoryW");  // Windows XP SP1
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
