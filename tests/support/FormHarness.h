#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/ScratchKey.h"
#include "window/Form1.h"

// Lets tests run a listing on its own, as the load event and the click do.
struct Form1TestAccess {
    static void ShowRecentFiles(Form1& form) { form.ShowRecentFiles(); }
};

namespace testing_support {

// Redirects this process's HKEY_CURRENT_USER into a scratch key, so the window reads
// and clears a registry tree that belongs to one test alone.
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
std::vector<std::wstring> ListItems(HWND list);
std::vector<std::wstring> LogLines(const std::wstring& log);  // split at CR LF

// The user locale's short date, a blank and its time, as a log line starts.
std::wstring DateTimeText(const SYSTEMTIME& time);

// Handles every message already queued for this thread.
void PumpMessages();

}  // namespace testing_support
