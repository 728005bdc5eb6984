// The stack protector's guard value and what a failed check does, in place of GCC's
// libssp. libssp seeds its guard through CryptoAPI before wWinMain, and so loads a
// crypto provider DLL before the program has narrowed the DLL search; it reports a
// smashed stack with an illegal instruction, an exception that Windows may swallow
// inside a window procedure. Like the cookie of Microsoft's runtime, this guard is
// seeded from what differs at every start, and a failed check ends the process.
#include <windows.h>

#include <cstdint>

#ifndef STATUS_STACK_BUFFER_OVERRUN
#define STATUS_STACK_BUFFER_OVERRUN 0xC0000409  // headers for XP lack it
#endif

#if defined(__GNUC__)

namespace {

// The guard until it is seeded: the default of Microsoft's cookie, which the PE
// checker looks for to find the guard and the code that checks it.
constexpr std::uintptr_t kUnseeded =
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x00002B992DDFA232ull) : 0xBB40E64Eu;

}  // namespace

extern "C" {

// What every protected function keeps below its locals and compares on return.
std::uintptr_t __stack_chk_guard = kUnseeded;

// Called by a protected function whose guard was overwritten: nothing of the
// process can be trusted any more, so nothing of it runs again.
[[noreturn]] void __stack_chk_fail() {
    for (;;) TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
}

}  // extern "C"

namespace {

// Runs before every other constructor, and so before any protected function that
// could still be on the stack to see the guard change; unprotected itself for the
// same reason.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t seed = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    seed ^= static_cast<std::uint64_t>(GetCurrentProcessId()) << 16;
    seed ^= static_cast<std::uint64_t>(GetCurrentThreadId()) << 40;
    seed ^= static_cast<std::uint64_t>(GetTickCount()) << 24;
    seed ^= static_cast<std::uint64_t>(counter.QuadPart) ^ (static_cast<std::uint64_t>(counter.LowPart) << 32);
    // Where this stack lies differs at every start wherever ASLR is on.
    seed ^= reinterpret_cast<std::uintptr_t>(&seed);
    if constexpr (sizeof(std::uintptr_t) == 4) seed ^= seed >> 32;  // folded in, not cut off
    auto guard = static_cast<std::uintptr_t>(seed);
    if (guard == kUnseeded || guard == 0) guard = ~kUnseeded;
    __stack_chk_guard = guard;
}

}  // namespace

#endif  // __GNUC__
