#include "support/FormHarness.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace testing_support {

RedirectedCurrentUser::RedirectedCurrentUser() {
    if (scratch_.get() == nullptr || RegOverridePredefKey(HKEY_CURRENT_USER, scratch_.get()) != ERROR_SUCCESS)
        throw std::runtime_error("cannot redirect HKEY_CURRENT_USER; the test would change the real one");
}

RedirectedCurrentUser::~RedirectedCurrentUser() {
    if (recentFiles_ != nullptr) RegCloseKey(recentFiles_);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
}

HKEY RedirectedCurrentUser::RecentFiles() {
    if (recentFiles_ == nullptr) recentFiles_ = CreateKey(scratch_.get(), kRecentFilesKey);
    return recentFiles_;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> LogLines(const std::wstring& log) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = log.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(log.substr(start, end - start));
    lines.push_back(log.substr(start));
    return lines;
}

std::wstring DateTimeText(const SYSTEMTIME& time) {
    wchar_t date[80] = {};
    wchar_t clock[80] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 80);
    return std::wstring(date) + L" " + clock;
}

void PumpMessages(const Form1* form) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (form != nullptr) {
            form->Dispatch(message);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void FormTest::ExpectStamped(const std::wstring& line, const std::wstring& message) const {
    // Any whole second from `before` to `after`: a long load may span several.
    SYSTEMTIME second = before_;
    second.wMilliseconds = 0;
    ULARGE_INTEGER at{}, last{};
    SystemTimeToFileTime(&second, reinterpret_cast<FILETIME*>(&at));
    SystemTimeToFileTime(&after_, reinterpret_cast<FILETIME*>(&last));
    bool found = line == DateTimeText(after_) + L"  " + message;  // also where the clock went back
    for (int seconds = 0; !found && at.QuadPart <= last.QuadPart && seconds < 600; ++seconds) {
        FileTimeToSystemTime(reinterpret_cast<const FILETIME*>(&at), &second);
        found = line == DateTimeText(second) + L"  " + message;
        at.QuadPart += 10'000'000;  // FILETIME counts 100 ns
    }
    EXPECT_TRUE(found) << "line: " << ::testing::PrintToString(line) << "\nexpected: "
                       << ::testing::PrintToString(DateTimeText(after_) + L"  " + message);
}

void FormTest::Click() {
    GetLocalTime(&before_);
    SendMessageW(Command1(), BM_CLICK, 0, 0);
    PumpMessages(form_.get());
    GetLocalTime(&after_);
}

void FormTest::Show() {
    ShowWindow(form_->hwnd(), SW_SHOW);
    SetForegroundWindow(form_->hwnd());
    PumpMessages(form_.get());
}

void FormTest::PressKey(UINT key, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    const HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    PumpMessages(form_.get());
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

}  // namespace testing_support
