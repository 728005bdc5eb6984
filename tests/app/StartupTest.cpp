// How the program starts: where it loads DLLs from, how its window first shows, and
// where its single-instance mutex lives.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

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

TEST(DllSearch, System32OnlyWhereWindowsOffersItElseNotTheCurrentFolder) {
    // Both are found where Windows has them: a misspelt name would quietly leave the
    // program with the weaker way, or none.
    const DllSearch::Api found = DllSearch::Available();
    EXPECT_NE(found.setDefaultDllDirectories, nullptr);
    EXPECT_NE(found.setDllDirectory, nullptr);
    EXPECT_NE(Mitigations::DepPolicyFunction(), nullptr) << "DEP for the x86 exe on XP SP3 and Vista";

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

TEST(FirstShow, RunMinimisedFromAShortcutStartsMinimised) {
    ProgramCopy copy(SW_SHOWMINNOACTIVE);
    const HWND window = WaitForWindow(copy.id(), Form1::kClassName, kPatience);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsIconic(window));

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
    EXPECT_TRUE(copy.WaitForExit(kPatience));
}

volatile size_t g_overrunBytes = 64;  // more than the buffer holds, unknown to the compiler

// Writes past the end of a buffer on its own stack, as a too long input would.
[[gnu::noinline]] void Overrun() {
    char buffer[16];
    std::memset(buffer, 'x', g_overrunBytes);
    std::fwrite(buffer, 1, 1, stdout);
}

// Run by the test below in a child process, which must end in the function above.
TEST(StackProtector, DISABLED_OverrunsABufferOnTheStack) { Overrun(); }

// What Windows answers for the fast-fail feature (23) alone; and a way to end that
// tells itself apart from the failure Windows reports.
BOOL WINAPI FastFailAsTheEnvironmentSays(DWORD feature) {
    return feature == 23 && _wgetenv(L"QUILLRAKE_FAST_FAIL") != nullptr;
}
constexpr UINT kTerminatedByTheProgram = 7;
BOOL WINAPI TerminateAsMarked(HANDLE process, UINT) { return TerminateProcess(process, kTerminatedByTheProgram); }

TEST(StackProtector, DISABLED_EndsTheProcessAsAFailedCheckDoes) {
    StackProtector::EndProcess(&FastFailAsTheEnvironmentSays, &TerminateAsMarked);
}

// This program is protected as quillrake.exe is, by the same guard and failure path:
// reported as a stack buffer overrun (0xC0000409) by __fastfail, which Windows 8 and
// later have; on XP and 7, TerminateProcess.
TEST(StackProtector, AnOverrunBufferOnTheStackEndsTheProcessAtOnce) {
    const struct {
        const char* what;
        const wchar_t* test;
        const wchar_t* fastFail;
        DWORD exitCode;
    } kEndings[] = {
        {"a buffer overrun", L"StackProtector.DISABLED_OverrunsABufferOnTheStack", nullptr, 0xC0000409u},
        {"Windows with __fastfail", L"StackProtector.DISABLED_EndsTheProcessAsAFailedCheckDoes", L"1", 0xC0000409u},
        {"Windows without it", L"StackProtector.DISABLED_EndsTheProcessAsAFailedCheckDoes", nullptr,
         kTerminatedByTheProgram},
    };
    for (const auto& ending : kEndings)
        EXPECT_EQ(ExitCodeOfChildTest(ending.test, {{L"QUILLRAKE_FAST_FAIL", ending.fastFail}}), ending.exitCode)
            << ending.what;
}

extern "C" std::uintptr_t __stack_chk_guard;

// A guard that an attacker cannot guess from the time, the ids or the addresses alone.
TEST(StackProtector, EveryBitOfEveryInputChangesTheGuard) {
    EXPECT_NE(__stack_chk_guard, sizeof(void*) == 8 ? 0x00002B992DDFA232ull : 0xBB40E64Eull)
        << "this process's guard was never seeded";
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
    for (const auto& input : kInputs)
        for (int bit = 0; bit < input.bits; ++bit) {
            Entropy flipped = seen;
            input.flip(flipped, bit);
            EXPECT_NE(StackProtector::GuardFrom(flipped), guard) << input.input << ", bit " << bit;
        }
}

}  // namespace
