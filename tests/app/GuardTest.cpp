// Only one copy runs at a time, checked with real processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include <sddl.h>

#include "app/modPreventionDualBoot.h"
#include "support/Process.h"
#include "window/Form1.h"

namespace {

using testing_support::ProgramCopy;
using testing_support::WaitForWindow;
using testing_support::WindowsOf;

constexpr DWORD kPatience = 20000;  // ms; Wine can be slow to start a process
constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr int kMessageBoxText = 0xFFFF;  // the static that holds a message box's text
constexpr int kMessageBoxIcon = 0x0440;

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::vector<HWND> VisibleButtons(HWND dialog) {
    std::vector<HWND> buttons;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (CompareStringOrdinal(name, -1, L"Button", -1, TRUE) == CSTR_EQUAL && IsWindowVisible(child))
            buttons.push_back(child);
    }
    return buttons;
}

void CloseNormally(const ProgramCopy& copy, HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(copy.WaitForExit(kPatience));
    EXPECT_EQ(copy.ExitCode(), 0u);
}

// A copy refused as the user sees it: only the message box, which ends the copy once
// [OK] is pressed (PressOk).
void ExpectRefused(const ProgramCopy& copy) {
    ASSERT_TRUE(copy.started());
    const HWND box = WaitForWindow(copy.id(), kMessageBoxClass, kPatience);
    ASSERT_NE(box, nullptr) << "the copy shows no message box";
    EXPECT_EQ(TextOf(box), L"Quillrake");
    EXPECT_EQ(TextOf(GetDlgItem(box, kMessageBoxText)), L"既に起動されています");
    const std::vector<HWND> buttons = VisibleButtons(box);
    ASSERT_EQ(buttons.size(), 1u) << "only an OK button";
    EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
    const HWND icon = GetDlgItem(box, kMessageBoxIcon);
    EXPECT_TRUE(icon == nullptr || !IsWindowVisible(icon) ||
                SendMessageW(icon, STM_GETICON, 0, 0) == 0)
        << "no icon";
    EXPECT_TRUE(WindowsOf(copy.id(), Form1::kClassName).empty()) << "refused before any window";
}

void PressOk(const ProgramCopy& copy) {
    const HWND box = WaitForWindow(copy.id(), kMessageBoxClass, 0);
    ASSERT_NE(box, nullptr);
    const std::vector<HWND> buttons = VisibleButtons(box);
    ASSERT_EQ(buttons.size(), 1u);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(buttons[0]));
    ASSERT_TRUE(copy.WaitForExit(kPatience)) << "the copy did not end after OK";
}

// Run by the test below in a child process while another copy runs: the guard's box, as
// Windows is asked for it, whose style the child ends with (marked as asked).
constexpr UINT kBoxAsked = 0x10000;
int WINAPI EndWithTheBoxStyle(HWND, LPCWSTR, LPCWSTR, UINT style) { ExitProcess(kBoxAsked | style); }

TEST(SingleInstance, DISABLED_AsksWindowsForTheBox) {
    testing_support::ReplaceImport("MessageBoxW", reinterpret_cast<const void*>(&EndWithTheBoxStyle));
    modPreventionDualBoot::PreventDualBoot();
}

TEST(SingleInstance, SecondCopySaysSoAndEndsWithoutAWindow) {
    ProgramCopy first;
    ASSERT_TRUE(first.started());
    const HWND firstWindow = WaitForWindow(first.id(), Form1::kClassName, kPatience);
    ASSERT_NE(firstWindow, nullptr) << "the first copy shows no window";

    const ProgramCopy second;
    ExpectRefused(second);
    EXPECT_TRUE(IsWindow(firstWindow) && IsWindowVisible(firstWindow)) << "the first copy is unaffected";
    // Only [OK], no icon, and not in front of every other window until [OK] (MB_TOPMOST
    // and MB_SYSTEMMODAL, which Wine's boxes do not show).
    EXPECT_EQ(testing_support::ExitCodeOfChildTest(L"SingleInstance.DISABLED_AsksWindowsForTheBox"), kBoxAsked | MB_OK);

    // The first ends while the second's box is still up: no copy runs now, and the
    // next one runs.
    CloseNormally(first, firstWindow);
    const ProgramCopy third;
    const HWND thirdWindow = WaitForWindow(third.id(), Form1::kClassName, kPatience);
    EXPECT_NE(thirdWindow, nullptr) << "a refused copy whose box is up keeps the next copy out";
    PressOk(second);
    if (thirdWindow != nullptr) CloseNormally(third, thirdWindow);
}

// A copy started as administrator, or by another user in this session, holds a mutex
// that this user may only wait on: opening it is refused, and yet that copy runs.
TEST(SingleInstance, CopyBesideAMutexItMayNotOpenSaysSo) {
    PSECURITY_DESCRIPTOR waitOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                                     &waitOnly, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, waitOnly, FALSE};
    const HANDLE held = CreateMutexW(&attributes, FALSE, modPreventionDualBoot::kMutexName);
    LocalFree(waitOnly);
    ASSERT_NE(held, nullptr);

    const ProgramCopy copy;
    ExpectRefused(copy);
    PressOk(copy);
    CloseHandle(held);
}

// What CreateMutexW and OpenMutexW answer where a test cannot make Windows do it: a
// handle or none, and the last error.
struct Answer {
    bool handle;
    DWORD error;
};
constexpr Answer kMade{true, 0}, kRefused{false, ERROR_ACCESS_DENIED}, kNone{false, ERROR_FILE_NOT_FOUND};

struct GuardCase {
    const char* what;
    std::vector<Answer> creates;  // in turn, the last one from then on
    Answer open;
    bool copyRuns;
    bool holds;  // this copy keeps a handle to the mutex
};
const GuardCase* g_case = nullptr;
size_t g_creates = 0;
DWORD g_openedFor = 0;
std::wstring g_openedName;

HANDLE Answered(const Answer& answer) {
    const HANDLE handle = answer.handle ? CreateEventW(nullptr, FALSE, FALSE, nullptr) : nullptr;  // any will do
    SetLastError(answer.error);
    return handle;
}

HANDLE WINAPI CreateAsAnswered(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR) {
    // A copy that kept asking for ever would end up holding one.
    if (++g_creates > 16) return Answered(kMade);
    return Answered(g_case->creates[std::min(g_creates, g_case->creates.size()) - 1]);
}

HANDLE WINAPI OpenAsAnswered(DWORD access, BOOL, LPCWSTR name) {
    g_openedFor |= access;
    g_openedName = name;
    return Answered(g_case->open);
}

TEST(SingleInstance, EachAnswerAboutTheMutexMeansACopyOrNone) {
    const GuardCase kCases[] = {
        {"another copy holds it: let go of at once", {{true, ERROR_ALREADY_EXISTS}}, kNone, true, false},
        {"a copy started as administrator: its mutex opens for waiting", {kRefused}, kMade, true, false},
        {"a copy of another user: waiting is refused too", {kRefused}, kRefused, true, false},
        {"the copy that held it ended meanwhile: made when asked again", {kRefused, kMade}, kNone, false, true},
        {"a restricted token: refused every time, and no copy", {kRefused}, kNone, false, false},
        {"its name taken by an event", {{false, ERROR_INVALID_HANDLE}}, kMade, false, false},
        {"no resources left", {{false, ERROR_NO_SYSTEM_RESOURCES}}, kMade, false, false},
    };
    for (const GuardCase& row : kCases) {
        g_case = &row;
        g_creates = 0;
        g_openedFor = 0;
        g_openedName.clear();
        UniqueHandle own;
        EXPECT_EQ(modPreventionDualBoot::AnotherCopyRuns({&CreateAsAnswered, &OpenAsAnswered}, own), row.copyRuns)
            << row.what;
        EXPECT_EQ(static_cast<bool>(own), row.holds) << row.what;
        EXPECT_EQ(g_openedFor & ~static_cast<DWORD>(SYNCHRONIZE), 0u) << row.what << ": asked for waiting only";
        EXPECT_TRUE(g_openedName.empty() || g_openedName == modPreventionDualBoot::kMutexName) << row.what;
    }
}

TEST(SingleInstance, CopyStartedAfterTheFirstEndedRunsNormally) {
    {
        ProgramCopy first;
        const HWND window = WaitForWindow(first.id(), Form1::kClassName, kPatience);
        ASSERT_NE(window, nullptr);
        CloseNormally(first, window);
    }
    ProgramCopy later;
    const HWND window = WaitForWindow(later.id(), Form1::kClassName, kPatience);
    ASSERT_NE(window, nullptr) << "a copy after the first has ended must run";
    EXPECT_TRUE(WindowsOf(later.id(), kMessageBoxClass).empty());
    CloseNormally(later, window);
}

TEST(SingleInstance, CopyStartedAfterTheFirstWasKilledRunsNormally) {
    {
        ProgramCopy first;
        ASSERT_NE(WaitForWindow(first.id(), Form1::kClassName, kPatience), nullptr);
        ASSERT_TRUE(TerminateProcess(first.handle(), 9));
        ASSERT_TRUE(first.WaitForExit(kPatience));
    }
    ProgramCopy next;
    const HWND window = WaitForWindow(next.id(), Form1::kClassName, kPatience);
    ASSERT_NE(window, nullptr) << "a killed copy must not keep others out";
    CloseNormally(next, window);
}

TEST(SingleInstance, TenCopiesAtOnceMakeExactlyOneWindow) {
    std::vector<ProgramCopy> copies;
    for (int i = 0; i < 10; ++i) copies.emplace_back();

    // Every copy ends up either with the window or with the message box.
    std::vector<HWND> windows;
    std::vector<size_t> refused;
    // Inside the test bench's hang limit (60 s), so that a failure reports its counts.
    const ULONGLONG deadline = GetTickCount64() + 2 * kPatience;
    while (windows.size() + refused.size() < copies.size() && GetTickCount64() < deadline) {
        windows.clear();
        refused.clear();
        for (size_t i = 0; i < copies.size(); ++i) {
            for (HWND window : WindowsOf(copies[i].id(), Form1::kClassName)) windows.push_back(window);
            for (HWND box : WindowsOf(copies[i].id(), kMessageBoxClass))
                if (IsWindowVisible(box)) refused.push_back(i);
        }
        Sleep(50);
    }
    ASSERT_EQ(windows.size(), 1u);
    ASSERT_EQ(refused.size(), 9u);

    for (size_t i : refused) {
        const HWND box = WindowsOf(copies[i].id(), kMessageBoxClass).front();
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(copies[i].WaitForExit(kPatience));
    }
    for (ProgramCopy& copy : copies) {
        if (copy.WaitForExit(0)) continue;
        CloseNormally(copy, windows.front());
    }
}

}  // namespace
