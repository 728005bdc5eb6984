#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/Process.h"
#include "support/ScratchKey.h"
#include "window/Form1.h"

// Lets tests run a listing on its own, as the load event and the click do.
struct Form1TestAccess {
    static void ShowRecentFiles(Form1& form) { form.ShowRecentFiles(); }
    static void AppendLog(Form1& form, const std::wstring& message) { form.AppendLog(message); }
};

namespace testing_support {

// Redirects this process's HKEY_CURRENT_USER into a scratch key, so the window reads
// and clears a registry tree that belongs to one test alone. Throws when it cannot:
// the test must not go on against the real HKEY_CURRENT_USER.
class RedirectedCurrentUser {
public:
    RedirectedCurrentUser();
    ~RedirectedCurrentUser();
    RedirectedCurrentUser(const RedirectedCurrentUser&) = delete;
    RedirectedCurrentUser& operator=(const RedirectedCurrentUser&) = delete;

    // The RecentFiles key inside the redirected tree, created on first use.
    HKEY RecentFiles();
    HKEY root() const { return scratch_.get(); }

private:
    ScratchKey scratch_;
    HKEY recentFiles_ = nullptr;
};

// What the window shows, read back through window messages.
std::wstring WindowText(HWND window);
std::vector<std::wstring> LogLines(const std::wstring& log);  // split at CR LF

// The user locale's short date, a blank and its time, as a log line starts.
std::wstring DateTimeText(const SYSTEMTIME& time);

// Handles every message already queued for this thread, through the form's own
// dispatch when there is a form.
void PumpMessages(const Form1* form = nullptr);

// Gives each test a Form1 of its own over a registry tree of its own.
class FormTest : public ::testing::Test {
protected:
    // Loads the window as the program does, but with a guard that lets every copy
    // run: the real one is tested with whole processes. The log's first line is
    // stamped between `before` and `after`.
    void Load() {
        GetLocalTime(&before_);
        form_ = std::make_unique<Form1>(GetModuleHandleW(nullptr), [] {});
        form_->Form_Load();
        GetLocalTime(&after_);
        ASSERT_NE(form_->hwnd(), nullptr);
    }
    void TearDown() override {
        form_.reset();
        PumpMessages();
    }

    HWND Text1() const { return GetDlgItem(form_->hwnd(), IDC_TEXT1); }
    HWND List1() const { return GetDlgItem(form_->hwnd(), IDC_LIST1); }
    HWND Command1() const { return GetDlgItem(form_->hwnd(), IDC_COMMAND1); }
    std::wstring Log() const { return WindowText(Text1()); }

    // A log line as written between `before` and `after`, at any second in between.
    void ExpectStamped(const std::wstring& line, const std::wstring& message) const;
    // Clicks Command1 as the user would; the new log lines are stamped in between.
    void Click();
    // Shows and activates the window, as the program does after loading it.
    void Show();
    // A key as the keyboard delivers it: queued for the focused control and handled by
    // the program's own loop; with Shift held down when `shift`.
    void PressKey(UINT key, bool shift = false);

    RedirectedCurrentUser currentUser_;
    std::unique_ptr<Form1> form_;
    SYSTEMTIME before_{};
    SYSTEMTIME after_{};
};

}  // namespace testing_support
