#include "app/DllSearch.h"

namespace DllSearch {

Api Available() {
    Api api;
    api.setDefaultDllDirectories = reinterpret_cast<decltype(api.setDefaultDllDirectories)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    api.setDllDirectory = &::SetDllDirectoryW;
    return api;
}

bool Restrict(const Api& api) {
    // Not even the program's own folder: nothing planted beside the exe is loaded.
    if (api.setDefaultDllDirectories != nullptr)
        return api.setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    return api.setDllDirectory != nullptr && api.setDllDirectory(L"") != FALSE;
}

}  // namespace DllSearch
