// How the program starts: where it loads DLLs from, how its window first shows, and
// where its single-instance mutex lives.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "app/DllSearch.h"
#include "app/Mitigations.h"
#include "app/StackProtector.h"
#include "app/modPreventionDualBoot.h"
#include "support/Process.h"
#include "window/Form1.h"

namespace {

using namespace testing_support;

DWORD g_searchFlags = 0;
const wchar_t* g_dllDirectory = nullptr;

BOOL WINAPI RecordFlags(DWORD flags) {
    g_searchFlags = flags;
    return TRUE;
}

BOOL WINAPI RecordDirectory(LPCWSTR path) {
    g_dllDirectory = path;
    return TRUE;
}

TEST(Mitigations, DepAndTheDllSearchAreAsStrictAsWindowsOffers) {
    // Each is found where Windows has it: a misspelt name would quietly leave the
    // program with the weaker way, or none.
    const DllSearch::Api found = DllSearch::Available();
    EXPECT_NE(found.setDefaultDllDirectories, nullptr);
    EXPECT_NE(found.setDllDirectory, nullptr);
    EXPECT_NE(Mitigations::DepPolicyFunction(), nullptr) << "DEP for the x86 exe on XP SP3 and Vista";
    // A 32-bit process, as the x86 exe is on XP SP3 and Vista: DEP on, and no ATL thunk
    // run from data either (a 64-bit process has both whatever it asks).
    Mitigations::TurnOn();
    if (sizeof(void*) == 4) {
        DWORD dep = 0;
        BOOL permanent = FALSE;
        EXPECT_TRUE(GetProcessDEPPolicy(GetCurrentProcess(), &dep, &permanent));
        EXPECT_EQ(dep, static_cast<DWORD>(PROCESS_DEP_ENABLE | PROCESS_DEP_DISABLE_ATL_THUNK_EMULATION));
    }

    g_searchFlags = 0;
    g_dllDirectory = nullptr;
    DllSearch::Api api{&RecordFlags, &RecordDirectory};
    EXPECT_TRUE(DllSearch::Restrict(api));
    EXPECT_EQ(g_searchFlags, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32)) << "not the exe's folder";
    EXPECT_EQ(g_dllDirectory, nullptr);

    api.setDefaultDllDirectories = nullptr;  // Windows XP, Vista, 7 without the update
    EXPECT_TRUE(DllSearch::Restrict(api));
    ASSERT_NE(g_dllDirectory, nullptr);
    EXPECT_EQ(std::wstring(g_dllDirectory), L"") << "an empty path takes the current folder out";
}

constexpr DWORD kPatience = 20000;

TEST(FirstShow, TheWindowShowsAsItsStarterAsks) {
    const struct {
        const char* what;
        int showCommand;
        std::optional<POINT> position;
    } kStarts[] = {
        {"run minimised from a shortcut", SW_SHOWMINNOACTIVE, {}},
        {"at the place a launcher gives", SW_SHOWNORMAL, POINT{137, 91}},
    };
    for (const auto& start : kStarts) {
        ProgramCopy copy(start.showCommand, {}, {}, start.position);
        const HWND window = WaitForWindow(copy.id(), Form1::kClassName, kPatience);
        ASSERT_NE(window, nullptr) << start.what;
        EXPECT_EQ(IsIconic(window) != FALSE, start.showCommand == SW_SHOWMINNOACTIVE) << start.what;
        RECT frame{};
        GetWindowRect(window, &frame);
        if (start.position) {
            EXPECT_EQ(std::pair(frame.left, frame.top), std::pair(start.position->x, start.position->y)) << start.what;
        }

        // The mutex is the session's own: a copy in another session is not refused.
        std::wstring name = modPreventionDualBoot::kMutexName;
        for (const wchar_t* ns : {L"Local\\", L"Global\\"})
            if (name.starts_with(ns)) name.erase(0, wcslen(ns));
        const HANDLE mine = OpenMutexW(SYNCHRONIZE, FALSE, (L"Local\\" + name).c_str());
        EXPECT_NE(mine, nullptr) << "a running copy holds the mutex in this session's namespace";
        const HANDLE global = OpenMutexW(SYNCHRONIZE, FALSE, (L"Global\\" + name).c_str());
        EXPECT_EQ(global, nullptr) << "not in the namespace all sessions share";
        for (HANDLE handle : {mine, global})
            if (handle != nullptr) CloseHandle(handle);

        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(copy.WaitForExit(kPatience)) << start.what;
    }
}

volatile size_t g_overrunBytes = 64;  // more than the buffer holds, unknown to the compiler

// Writes past the end of a buffer on its own stack, as a too long input would.
[[gnu::noinline]] void Overrun() {
    char buffer[16];
    std::memset(buffer, 'x', g_overrunBytes);
    std::fwrite(buffer, 1, 1, stdout);
}

// What Windows answers for the fast-fail feature (23) alone, as the child is told: "1"
// as Windows 8 and later, "0" as XP to 7.
BOOL WINAPI FastFailAsTheEnvironmentSays(DWORD feature) {
    const wchar_t* told = _wgetenv(L"QUILLRAKE_FAST_FAIL");
    return feature == 23 && told != nullptr && std::wcscmp(told, L"1") == 0;
}

// Run by the tests below in a child process, which must end in the function above:
// where it is told what Windows answers for the fast-fail feature, with that answer.
TEST(StackProtector, DISABLED_OverrunsABufferOnTheStack) {
    // The import its stack protector's failure path asks.
    if (_wgetenv(L"QUILLRAKE_FAST_FAIL") != nullptr)
        ReplaceImport("IsProcessorFeaturePresent", reinterpret_cast<const void*>(&FastFailAsTheEnvironmentSays));
    Overrun();
}

// Ends the child with 7 where the program asks for STATUS_STACK_BUFFER_OVERRUN, which a
// launcher and Windows Error Reporting see; with anything else, with that.
constexpr UINT kTerminatedByTheProgram = 7;
BOOL WINAPI TerminateAsMarked(HANDLE process, UINT code) {
    return TerminateProcess(process, code == 0xC0000409u ? kTerminatedByTheProgram : code);
}

TEST(StackProtector, DISABLED_EndsTheProcessAsAFailedCheckDoes) {
    StackProtector::EndProcess(&FastFailAsTheEnvironmentSays, &TerminateAsMarked);
}

struct Ending {
    const char* what;
    const wchar_t* test;
    const wchar_t* fastFail;  // what the child is told Windows answers; null: what it does
    DWORD exitCode;
};

void ExpectEndings(std::initializer_list<Ending> endings) {
    for (const Ending& ending : endings)
        EXPECT_EQ(ExitCodeOfChildTest(ending.test, {{L"QUILLRAKE_FAST_FAIL", ending.fastFail}}), ending.exitCode)
            << ending.what;
}

// This program is protected as quillrake.exe is, by the same guard and failure path:
// reported as a stack buffer overrun (0xC0000409). On XP to 7, through TerminateProcess.
TEST(StackProtector, AnOverrunBufferOnTheStackEndsTheProcessAtOnce) {
    ExpectEndings({
        {"a buffer overrun on Windows without __fastfail", L"StackProtector.DISABLED_OverrunsABufferOnTheStack", L"0",
         0xC0000409u},
        {"the failure path on Windows without __fastfail", L"StackProtector.DISABLED_EndsTheProcessAsAFailedCheckDoes",
         L"0", kTerminatedByTheProgram},
    });
}

// On Windows 8 and later, through __fastfail (int 0x29), past every handler; Wine has it.
TEST(StackProtector, FastFailEndsTheProcessAtOnce) {
    ExpectEndings({
        {"a buffer overrun, as this Windows answers", L"StackProtector.DISABLED_OverrunsABufferOnTheStack", nullptr,
         0xC0000409u},
        {"the failure path on Windows with __fastfail", L"StackProtector.DISABLED_EndsTheProcessAsAFailedCheckDoes",
         L"1", 0xC0000409u},
    });
}

extern "C" std::uintptr_t __stack_chk_guard;

// A guard that an attacker cannot guess from the time, the ids or the addresses alone.
TEST(StackProtector, EveryBitOfEveryInputChangesTheGuard) {
    EXPECT_NE(__stack_chk_guard, sizeof(void*) == 8 ? 0x00002B992DDFA232ull : 0xBB40E64Eull)
        << "this process's guard was never seeded";
    // What is gathered is this process's and this thread's own.
    const StackProtector::Entropy now = StackProtector::Gather();
    ULONG_PTR lowest = 0, highest = 0;
    GetCurrentThreadStackLimits(&lowest, &highest);
    EXPECT_TRUE(now.stackAddress >= lowest && now.stackAddress < highest)
        << "an address within this thread's stack, which ASLR keeps secret";
    EXPECT_EQ(now.processId, GetCurrentProcessId());
    EXPECT_EQ(now.threadId, GetCurrentThreadId());
    const StackProtector::Entropy seen = {0x01DC5F3A9B2E4C10ull, 0x000000A1B2C3D4E5ull, 0x0012D687u,
                                          0x00001A2Cu, 0x00002F14u, static_cast<std::uintptr_t>(0x0013FF5Cull)};
    using Entropy = StackProtector::Entropy;
    const struct {
        const char* input;
        int bits;
        void (*flip)(Entropy& entropy, int bit);
    } kInputs[] = {
        {"system time", 64, [](Entropy& e, int bit) { e.systemTime ^= 1ull << bit; }},
        {"performance counter", 64, [](Entropy& e, int bit) { e.counter ^= 1ull << bit; }},
        {"tick count", 32, [](Entropy& e, int bit) { e.tickCount ^= 1u << bit; }},
        {"process id", 32, [](Entropy& e, int bit) { e.processId ^= 1u << bit; }},
        {"thread id", 32, [](Entropy& e, int bit) { e.threadId ^= 1u << bit; }},
        {"stack address", 8 * sizeof(void*), [](Entropy& e, int bit) { e.stackAddress ^= std::uintptr_t{1} << bit; }},
    };
    const std::uintptr_t guard = StackProtector::GuardFrom(seen);
    int flips = 0, changedBits = 0;
    for (const auto& input : kInputs)
        for (int bit = 0; bit < input.bits; ++bit) {
            Entropy flipped = seen;
            input.flip(flipped, bit);
            const std::uintptr_t other = StackProtector::GuardFrom(flipped);
            EXPECT_NE(other, guard) << input.input << ", bit " << bit;
            ++flips;
            changedBits += std::popcount(other ^ guard);
        }
    // And each flip changes about half of the guard's bits: none of them leans to 0 or 1
    // (as when 32-bit Windows folds with AND), which would make the guard easier to guess.
    EXPECT_NEAR(static_cast<double>(changedBits) / (flips * 8 * sizeof guard), 0.5, 0.05);
}

}  // namespace
