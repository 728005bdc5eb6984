#pragma once

#include <windows.h>

// Sets `function` to the export `name` of `module`, or to null where the module or
// the export is missing: how the program reaches what only newer Windows have.
template <typename Function>
void FindFunction(Function& function, HMODULE module, const char* name) {
    function = module == nullptr
                   ? nullptr
                   : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
