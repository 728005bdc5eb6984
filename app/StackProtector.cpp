// The stack protector's guard value and what a failed check does, in place of GCC's
// libssp. libssp seeds its guard through CryptoAPI before wWinMain, and so loads a
// crypto provider DLL before the program has narrowed the DLL search; it reports a
// smashed stack with an illegal instruction, an exception that Windows may swallow
// inside a window procedure. Like the cookie of Microsoft's runtime, this guard is
// seeded from what differs at every start, and a failed check ends the process the
// way Windows reports it.
#include "app/StackProtector.h"

#include <initializer_list>

#ifdef _MSC_VER
#include <intrin.h>
#endif

#ifndef STATUS_STACK_BUFFER_OVERRUN
#define STATUS_STACK_BUFFER_OVERRUN 0xC0000409  // headers for XP lack it
#endif
#ifndef PF_FASTFAIL_AVAILABLE
#define PF_FASTFAIL_AVAILABLE 23
#endif
#ifndef FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
#define FAST_FAIL_STACK_COOKIE_CHECK_FAILURE 2
#endif

namespace {

// The guard until it is seeded: the default of Microsoft's cookie, which the PE
// checker looks for to find the guard and the code that checks it.
constexpr std::uintptr_t kUnseeded =
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x00002B992DDFA232ull) : 0xBB40E64Eu;

// splitmix64's finaliser: a bijection in which every input bit reaches every output
// bit, so that no input can cancel another.
constexpr std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

#if defined(__GNUC__)
#define UNPROTECTED __attribute__((no_stack_protector))
#else
#define UNPROTECTED  // MSVC's runtime seeds its own cookie; this seeds nothing there
#endif

namespace StackProtector {

UNPROTECTED Entropy Gather() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    Entropy entropy{};
    entropy.systemTime = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    entropy.counter = static_cast<std::uint64_t>(counter.QuadPart);
    entropy.tickCount = GetTickCount();
    entropy.processId = GetCurrentProcessId();
    entropy.threadId = GetCurrentThreadId();
    entropy.stackAddress = reinterpret_cast<std::uintptr_t>(&entropy);
    return entropy;
}

std::uintptr_t GuardFrom(const Entropy& entropy) {
    // Each input in turn, all 64 bits wide until the end: 32-bit Windows folds the
    // mixed value, never the inputs.
    std::uint64_t mixed = 0;
    for (const std::uint64_t input :
         {entropy.systemTime, entropy.counter, std::uint64_t{entropy.tickCount}, std::uint64_t{entropy.processId},
          std::uint64_t{entropy.threadId}, std::uint64_t{entropy.stackAddress}})
        mixed = Mix(mixed ^ input);
    if constexpr (sizeof(std::uintptr_t) == 4) mixed ^= mixed >> 32;
    const auto guard = static_cast<std::uintptr_t>(mixed);
    return guard == kUnseeded || guard == 0 ? ~kUnseeded : guard;
}

void EndProcess(BOOL(WINAPI* isProcessorFeaturePresent)(DWORD feature),
                BOOL(WINAPI* terminateProcess)(HANDLE process, UINT exitCode)) {
    // Windows 8 and later: past every exception handler, straight to Windows Error
    // Reporting, as a stack buffer overrun.
    if (isProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
#ifdef _MSC_VER
        __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
#else
        __asm__ __volatile__("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
#endif
    }
    for (;;) terminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
}

}  // namespace StackProtector

#if defined(__GNUC__)

extern "C" {

// What every protected function keeps below its locals and compares on return.
std::uintptr_t __stack_chk_guard = kUnseeded;

// Called by a protected function whose guard was overwritten: nothing of the
// process can be trusted any more, so nothing of it runs again.
[[noreturn]] void __stack_chk_fail() { StackProtector::EndProcess(&IsProcessorFeaturePresent, &TerminateProcess); }

}  // extern "C"

namespace {

// Runs before every other constructor, and so before any protected function that
// could still be on the stack to see the guard change; unprotected itself for the
// same reason.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
    __stack_chk_guard = StackProtector::GuardFrom(StackProtector::Gather());
}

}  // namespace

#endif  // __GNUC__
