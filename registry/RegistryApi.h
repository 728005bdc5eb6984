#pragma once

#include <windows.h>

namespace Module1 {

// The advapi32 entry points this module calls. Production always uses the real ones;
// a test may swap one in to provoke what a real registry will not do on demand
// (a close that fails, a value that grows between two reads).
struct RegistryApi {
    decltype(&::RegOpenKeyExA) OpenKey = ::RegOpenKeyExA;
    decltype(&::RegEnumValueA) EnumValue = ::RegEnumValueA;
    decltype(&::RegDeleteKeyA) DeleteKey = ::RegDeleteKeyA;
    decltype(&::RegCloseKey) CloseKey = ::RegCloseKey;
};

RegistryApi& Registry();

}  // namespace Module1
