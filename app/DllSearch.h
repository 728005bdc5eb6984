#pragma once

#include <windows.h>

namespace DllSearch {

// The two ways Windows offers to narrow where DLLs are loaded from, looked up at run
// time: the first came with Windows 8 (and an update for 7), the second with XP SP1.
struct Api {
    BOOL(WINAPI* setDefaultDllDirectories)(DWORD flags) = nullptr;
    BOOL(WINAPI* setDllDirectory)(LPCWSTR path) = nullptr;
};

// What this Windows has.
Api Available();

// Loads DLLs from System32 only where Windows allows it; elsewhere at least takes
// the current folder out of the search. True when either was done.
bool Restrict(const Api& api);

}  // namespace DllSearch
