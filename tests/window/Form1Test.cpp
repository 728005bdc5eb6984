// The main window, driven and read back through window messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FormHarness.h"
#include "support/Process.h"

namespace {

using namespace testing_support;
using Form1Test = FormTest;

// ---- Start-up ---------------------------------------------------------------

TEST_F(Form1Test, StartupListsThreeValuesInOrderAndEnablesTheButton) {
    SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");
    SetString(currentUser_.RecentFiles(), L"2", L"C:\\b.vbp");
    SetString(currentUser_.RecentFiles(), L"3", L"C:\\c.vbp");
    Load();

    EXPECT_EQ(ListItems(List1()),
              (std::vector<std::wstring>{L"1 = C:\\a.vbp", L"2 = C:\\b.vbp", L"3 = C:\\c.vbp"}));
    const std::wstring log = Log();
    EXPECT_NE(log.substr(0, 2), L"\r\n");
    ExpectStamped(log, L"3件のキーを発見");
    EXPECT_TRUE(IsWindowEnabled(Command1()));
    EXPECT_FALSE(IsWindowVisible(form_->hwnd())) << "the program shows the window, not the load";
}

TEST_F(Form1Test, StartupWithOneValueCountsOne) {
    SetDword(currentUser_.RecentFiles(), L"only", 1);
    Load();
    EXPECT_EQ(ListItems(List1()), std::vector<std::wstring>{L"only = 1"});
    ExpectStamped(Log(), L"1件のキーを発見");
    EXPECT_TRUE(IsWindowEnabled(Command1()));
}

TEST_F(Form1Test, StartupWithoutTheKeyReportsItNotFound) {
    Load();
    ExpectStamped(Log(), L"キーを発見できず");
    EXPECT_TRUE(ListItems(List1()).empty());
    EXPECT_FALSE(IsWindowEnabled(Command1()));
}

TEST_F(Form1Test, StartupWithAnEmptyKeyReportsItNotFound) {
    currentUser_.RecentFiles();
    Load();
    ExpectStamped(Log(), L"キーを発見できず");
    EXPECT_TRUE(ListItems(List1()).empty());
    EXPECT_FALSE(IsWindowEnabled(Command1()));
}

TEST_F(Form1Test, StartupWithTenThousandValuesAndAMebibyteValueListsThemAll) {
    for (int i = 0; i < 10000; ++i) SetDword(currentUser_.RecentFiles(), L"v" + std::to_wstring(i), i);
    SetValue(currentUser_.RecentFiles(), L"~big", REG_BINARY, Bytes(1 << 20, 'z'));
    Load();
    const std::vector<std::wstring> items = ListItems(List1());
    ASSERT_EQ(items.size(), 10001u);
    EXPECT_EQ(items.back(), L"~big = " + std::wstring(1 << 20, L'z'));
    ExpectStamped(Log(), L"10001件のキーを発見");
    EXPECT_GT(SendMessageW(List1(), LB_GETHORIZONTALEXTENT, 0, 0), 297) << "long lines scroll sideways";
}

// ---- Listing again ----------------------------------------------------------

TEST_F(Form1Test, SecondListingShowsOnlyTheNewLinesAndAddsOneLogLine) {
    for (const wchar_t* name : {L"1", L"2", L"3"}) SetString(currentUser_.RecentFiles(), name, L"old");
    Load();
    const std::wstring firstLog = Log();

    RegDeleteValueW(currentUser_.RecentFiles(), L"1");
    RegDeleteValueW(currentUser_.RecentFiles(), L"3");
    SetString(currentUser_.RecentFiles(), L"2", L"C:\\new.vbp");
    GetLocalTime(&before_);
    Form1TestAccess::ShowRecentFiles(*form_);
    GetLocalTime(&after_);

    EXPECT_EQ(ListItems(List1()), std::vector<std::wstring>{L"2 = C:\\new.vbp"});
    const std::wstring log = Log();
    ASSERT_EQ(log.substr(0, firstLog.size()), firstLog) << "earlier lines are never rewritten";
    const std::wstring added = log.substr(firstLog.size());
    ASSERT_EQ(added.substr(0, 2), L"\r\n");
    EXPECT_EQ(added.find(L"\r\n", 2), std::wstring::npos);
    ExpectStamped(added.substr(2), L"1件のキーを発見");

    RegDeleteValueW(currentUser_.RecentFiles(), L"2");
    Form1TestAccess::ShowRecentFiles(*form_);
    EXPECT_TRUE(ListItems(List1()).empty());
    EXPECT_FALSE(IsWindowEnabled(Command1()));
    EXPECT_EQ(LogLines(Log()).size(), 3u);
}

// ---- Layout and look --------------------------------------------------------

RECT RectInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ExpectRect(HWND control, int left, int top, int width, int height) {
    const RECT r = RectInParent(control);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

TEST_F(Form1Test, LayoutAtNinetySixDpi) {
    Load();
    ASSERT_EQ(GetDpiForWindow(form_->hwnd()), 96u);
    RECT client;
    GetClientRect(form_->hwnd(), &client);
    EXPECT_EQ(client.right, 311);
    EXPECT_EQ(client.bottom, 269);
    {
        SCOPED_TRACE("Text1");
        ExpectRect(Text1(), 8, 8, 297, 65);
    }
    {
        SCOPED_TRACE("List1");
        ExpectRect(List1(), 7, 72, 297, 148);
    }
    {
        SCOPED_TRACE("Command1");
        ExpectRect(Command1(), 64, 232, 169, 25);
    }
    EXPECT_EQ(WindowText(form_->hwnd()), L"Quillrake");
    EXPECT_EQ(WindowText(Command1()), L"レジストリクリア");
    const LONG_PTR style = GetWindowLongPtrW(form_->hwnd(), GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0) << "fixed size";
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(GetWindowLongPtrW(List1(), GWL_STYLE) & LBS_SORT, 0) << "the list keeps registry order";
    for (HWND control : {Text1(), List1(), Command1()})
        EXPECT_NE(GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP, 0) << "Tab reaches every control";
}

TEST_F(Form1Test, TheLogShowsItsNewestLine) {
    Load();
    for (int i = 0; i < 12; ++i) Form1TestAccess::ShowRecentFiles(*form_);
    const LRESULT lines = SendMessageW(Text1(), EM_GETLINECOUNT, 0, 0);
    ASSERT_EQ(lines, 13);
    // The box holds about four lines: the view must have followed the appends.
    EXPECT_GE(SendMessageW(Text1(), EM_GETFIRSTVISIBLELINE, 0, 0), lines - 5);
}

TEST_F(Form1Test, TheLogCannotBeEditedByTheUser) {
    Load();
    const std::wstring log = Log();
    EXPECT_NE(GetWindowLongPtrW(Text1(), GWL_STYLE) & ES_READONLY, 0);
    SendMessageW(Text1(), WM_CHAR, L'x', 0);
    SendMessageW(Text1(), WM_KEYDOWN, VK_BACK, 0);
    SendMessageW(Text1(), WM_CHAR, VK_BACK, 0);
    SendMessageW(Text1(), WM_CUT, 0, 0);
    EXPECT_EQ(Log(), log);
}

TEST_F(Form1Test, DoublingTheDpiDoublesTheLayout) {
    Load();
    RECT suggested;
    GetWindowRect(form_->hwnd(), &suggested);
    suggested.right = suggested.left + 2 * (suggested.right - suggested.left);
    suggested.bottom = suggested.top + 2 * (suggested.bottom - suggested.top);
    SendMessageW(form_->hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192),
                 reinterpret_cast<LPARAM>(&suggested));
    ExpectRect(Text1(), 16, 16, 594, 130);
    ExpectRect(List1(), 14, 144, 594, 296);
    ExpectRect(Command1(), 128, 464, 338, 50);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Command1(), WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    ASSERT_NE(GetObjectW(font, sizeof logFont, &logFont), 0);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, 192);
    EXPECT_EQ(logFont.lfHeight, metrics.lfMessageFont.lfHeight);
}

// ---- The executable's version record ----------------------------------------

TEST(VersionRecord, NamesQuillrakeVersionOneInJapanese) {
    const std::wstring path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version record in quillrake.exe";
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

    auto text = [&](const wchar_t* name) {
        void* value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        if (!VerQueryValueW(record.data(), query.c_str(), &value, &chars)) return std::wstring(L"<none>");
        return std::wstring(static_cast<const wchar_t*>(value));
    };
    EXPECT_EQ(text(L"FileVersion"), L"1.00");
    EXPECT_EQ(text(L"ProductVersion"), L"1.00");
    EXPECT_EQ(text(L"FileDescription"), L"Quillrake");
    EXPECT_EQ(text(L"ProductName"), L"Quillrake");
    EXPECT_EQ(text(L"InternalName"), L"Quillrake");

    void* translation = nullptr;
    UINT bytes = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &translation, &bytes));
    ASSERT_GE(bytes, 4u);
    EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x0411);
    EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);
}

}  // namespace
