// How the program starts: where it loads DLLs from, how its window first shows, and
// where its single-instance mutex lives.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "app/DllSearch.h"
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

// This program is protected as quillrake.exe is, by the same guard and failure path.
TEST(StackProtector, AnOverrunBufferOnTheStackEndsTheProcessAtOnce) {
    EXPECT_EQ(ExitCodeOfChildTest(L"StackProtector.DISABLED_OverrunsABufferOnTheStack"), 0xC0000409u)
        << "STATUS_STACK_BUFFER_OVERRUN";
}

}  // namespace
