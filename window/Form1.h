#pragma once

#include <windows.h>

#include <string>

#include "handles/UniqueHandles.h"
#include "window/Accessibility.h"

// The program's only window: an activity log (Text1), the recent-files list (List1)
// and the clear button (Command1).
class Form1 {
public:
    static constexpr wchar_t kClassName[] = L"Quillrake.Form1";

    // What the load event runs before anything else: the program passes its
    // single-instance guard, which returns only when no other copy runs.
    using Guard = void (*)();

    Form1(HINSTANCE instance, Guard guard) : instance_(instance), guard_(guard) {}
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    ~Form1();

    // The load event: readies the common controls, runs the guard, creates the (still
    // hidden) window and lists the recent files. hwnd() stays null when the window
    // could not be made.
    void Form_Load();
    HWND hwnd() const { return hwnd_; }

    // Starts COM on this thread, loads, shows the window as the program was asked to,
    // and runs its message loop until the window is closed; COM ends after it.
    // Returns the program's exit code.
    int Run(int showCommand);
    // Handles one message from the thread's queue as the program's loop does: keys
    // that move between the controls or press the button first; Esc not at all.
    void Dispatch(MSG& message) const;

private:
    friend struct Form1TestAccess;  // lets tests list again without a click

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool Create();
    bool CreateControls();
    // Takes the window to `dpi`: its frame first (to the place Windows suggests, if
    // any), then the controls, fonts, the list's sideways range and the icons.
    void ApplyDpi(UINT dpi, const RECT* suggestedWindowRect);
    // Moves the window to the suggested place, if any, and sizes it so that its
    // client area is the 96-DPI one scaled exactly to dpi_: a suggested size scales
    // the frame too, which Windows 8.1 and 10 before 1703 do not.
    void PlaceFrame(const RECT* suggestedWindowRect);
    // Gives every control the user's message font at dpi_, and fits the list's
    // sideways range to it.
    void ApplyFont();
    // Gives the window its big and small icons at the sizes for dpi_.
    void ApplyIcons();
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    void MoveFocus(WPARAM wParam, LPARAM lParam);
    void RestoreFocus();

    void Command1_Click();
    void ShowRecentFiles();
    void AppendLog(const std::wstring& message);

    HINSTANCE instance_;
    Guard guard_;
    HWND hwnd_ = nullptr;
    UniqueFont font_;
    UniqueIcon bigIcon_;  // Alt+Tab and the taskbar
    UniqueIcon smallIcon_;  // the title bar
    UINT dpi_ = 96;  // what the window is laid out for
    HWND lastFocus_ = nullptr;  // the control to return to when the window is active again
    Accessibility::ControlNames names_;
};
