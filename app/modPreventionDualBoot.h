#pragma once

#include <windows.h>

#include "handles/UniqueHandles.h"

namespace modPreventionDualBoot {

// The mutex every running copy holds, in the session's own namespace: another user
// logged on at the same time runs a copy of their own.
inline constexpr wchar_t kMutexName[] =
    L"Local\\Quillrake.SingleInstance.{5B1E7C3A-9D42-4F6B-A8E1-2C73D0F4B915}";

// How the guard asks Windows about the mutex; a test may answer in its place.
struct MutexApi {
    HANDLE(WINAPI* create)(LPSECURITY_ATTRIBUTES attributes, BOOL owned, LPCWSTR name) = &::CreateMutexW;
    HANDLE(WINAPI* open)(DWORD access, BOOL inherit, LPCWSTR name) = &::OpenMutexW;
};

// True when another copy holds the mutex. `own` receives this copy's handle when it
// made the mutex, and only then; the copy keeps it for its whole life, which is what
// makes the next copy see it.
bool AnotherCopyRuns(const MutexApi& api, UniqueHandle& own);

// Returns only when no other copy of Quillrake is running; otherwise tells the user
// so and ends this process.
void PreventDualBoot();

}  // namespace modPreventionDualBoot
