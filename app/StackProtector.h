#pragma once

#include <windows.h>

#include <cstdint>

// The stack protector's guard and what a failed check does (app/StackProtector.cpp),
// as pure steps that a test can drive with inputs and answers of its own.
namespace StackProtector {

// What differs from one start to the next, and from one process to another.
struct Entropy {
    std::uint64_t systemTime;  // FILETIME: 100 ns steps
    std::uint64_t counter;  // the performance counter
    std::uint32_t tickCount;
    std::uint32_t processId;
    std::uint32_t threadId;
    std::uintptr_t stackAddress;  // differs wherever ASLR is on
};

// What this process, on this thread, has of them now. Unprotected, like the one that
// seeds the guard from it: it runs while the guard changes.
Entropy Gather();

// The guard made from them: every bit of every input can change it. Never 0, and
// never the value the guard has until it is seeded.
std::uintptr_t GuardFrom(const Entropy& entropy);

// Ends this process the way Windows reports a stack buffer overrun: __fastfail where
// the processor feature says Windows has it (8 and later), else TerminateProcess with
// STATUS_STACK_BUFFER_OVERRUN. Nothing else runs first, and it never returns.
[[noreturn]] void EndProcess(BOOL(WINAPI* isProcessorFeaturePresent)(DWORD feature),
                             BOOL(WINAPI* terminateProcess)(HANDLE process, UINT exitCode));

}  // namespace StackProtector
