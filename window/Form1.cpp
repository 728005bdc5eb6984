#include "window/Form1.h"

#include <cstdint>
#include <exception>
#include <utility>

#include "registry/Module1.h"
#include "window/CommonControls.h"
#include "window/Dpi.h"
#include "window/LineList.h"
#include "resources/Texts.h"
#include "resources/resource.h"

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;
constexpr SIZE kClientSize = {311, 269};  // at 96 DPI

// The three controls, top to bottom; positions in pixels at 96 DPI.
struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    RECT bounds;  // left, top, right, bottom
};

constexpr ControlLayout kControls[] = {
    {IDC_TEXT1, L"EDIT", Texts::kLogPlaceholder,
     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE,
     {8, 8, 8 + 297, 8 + 65}},
    {IDC_LIST1, L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE,
     {7, 72, 7 + 297, 72 + 148}},
    {IDC_COMMAND1, L"BUTTON", Texts::kClearButton, BS_PUSHBUTTON, 0,
     {64, 232, 64 + 169, 232 + 25}},
};

SIZE ClientSize(UINT dpi) { return {Dpi::Scale(kClientSize.cx, dpi), Dpi::Scale(kClientSize.cy, dpi)}; }

// The window around that client area, with the frame Windows draws at `dpi`.
SIZE WindowSize(UINT dpi) {
    const SIZE client = ClientSize(dpi);
    RECT frame = {0, 0, client.cx, client.cy};
    Dpi::AdjustFrame(frame, kWindowStyle, kWindowExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// The user locale's short date, one blank and its time, for one moment.
std::wstring LocalDateTimeText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[80] = {};
    wchar_t time[80] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 80);
    return std::wstring(date) + L" " + time;
}

}  // namespace

Form1::~Form1() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void Form1::Form_Load() {
    // Before any window, the guard's message box included.
    CommonControls::Initialise();
    // The guard comes before the window exists, so a refused copy never creates one.
    guard_();
    if (!Create()) return;
    SetWindowTextW(Control(IDC_TEXT1), L"");
    ShowRecentFiles();
}

bool Form1::Create() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Form1::WndProc;
    windowClass.hInstance = instance_;
    // No icons of the class: the window sets its own, for its DPI, before it shows.
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    // A second Form1 in the same process finds the class registered already.
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    // Sized for 96 DPI here; ApplyDpi fits it to the monitor the window lands on.
    return CreateWindowExW(kWindowExStyle, kClassName, Texts::kAppTitle, kWindowStyle,
                           CW_USEDEFAULT, CW_USEDEFAULT, kClientSize.cx, kClientSize.cy, nullptr,
                           nullptr, instance_, this) != nullptr;
}

bool Form1::CreateControls() {
    for (const ControlLayout& item : kControls) {
        const HWND control = CreateWindowExW(
            item.exStyle, item.className, item.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | item.style,
            0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance_,
            nullptr);
        if (control == nullptr) return false;
    }
    // The log grows for as long as the window lives; lift the edit box's 32K default.
    SendMessageW(Control(IDC_TEXT1), EM_SETLIMITTEXT, 0, 0);
    names_.Give({{Control(IDC_TEXT1), Texts::kLogName}, {Control(IDC_LIST1), Texts::kListName}});
    ApplyDpi(Dpi::ForWindow(hwnd_), nullptr);
    return true;
}

void Form1::ApplyDpi(UINT dpi, const RECT* suggestedWindowRect) {
    // Windows' own order: the frame first, then what is inside it, all for this DPI
    // (asked again, Windows 8.1 may still answer for the monitor the window left).
    dpi_ = dpi;
    PlaceFrame(suggestedWindowRect);
    for (const ControlLayout& item : kControls) {
        const RECT& r = item.bounds;
        SetWindowPos(Control(item.id), nullptr, Dpi::Scale(r.left, dpi), Dpi::Scale(r.top, dpi),
                     Dpi::Scale(r.right - r.left, dpi), Dpi::Scale(r.bottom - r.top, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyFont();
    ApplyIcons();
}

void Form1::PlaceFrame(const RECT* suggestedWindowRect) {
    const SIZE size = WindowSize(dpi_);
    const POINT at = suggestedWindowRect != nullptr
                         ? POINT{suggestedWindowRect->left, suggestedWindowRect->top}
                         : POINT{};
    constexpr UINT kKeep = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(hwnd_, nullptr, at.x, at.y, size.cx, size.cy,
                 suggestedWindowRect != nullptr ? kKeep : kKeep | SWP_NOMOVE);
    // The frame the window really got may differ from the one computed (a Windows whose
    // frame does not follow the window's DPI): the client area is what must be exact.
    RECT client, window;
    if (IsIconic(hwnd_) || !GetClientRect(hwnd_, &client) || !GetWindowRect(hwnd_, &window)) return;
    const SIZE wanted = ClientSize(dpi_);
    if (client.right == wanted.cx && client.bottom == wanted.cy) return;
    SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left + wanted.cx - client.right,
                 window.bottom - window.top + wanted.cy - client.bottom, kKeep | SWP_NOMOVE);
}

void Form1::ApplyFont() {
    LOGFONTW logFont = {};
    UniqueFont font;
    if (Dpi::MessageFont(dpi_, logFont)) font.reset(CreateFontIndirectW(&logFont));
    // Keep the old font alive until no control uses it any more.
    if (font) std::swap(font, font_);
    for (const ControlLayout& item : kControls)
        SendMessageW(Control(item.id), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    LineList::FitExtent(Control(IDC_LIST1), font_.get(), dpi_);
}

void Form1::ApplyIcons() {
    // Loaded at sizes of the window's own, not shared: each is destroyed once the
    // window shows its successor.
    const struct {
        WPARAM which;
        int metric;
        UniqueIcon& held;
    } kIcons[] = {{ICON_BIG, SM_CXICON, bigIcon_}, {ICON_SMALL, SM_CXSMICON, smallIcon_}};
    for (const auto& icon : kIcons) {
        const int size = Dpi::SystemMetric(icon.metric, dpi_);
        UniqueIcon loaded(static_cast<HICON>(
            LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUILLRAKE), IMAGE_ICON, size, size, 0)));
        if (!loaded) continue;
        SendMessageW(hwnd_, WM_SETICON, icon.which, reinterpret_cast<LPARAM>(loaded.get()));
        std::swap(loaded, icon.held);
    }
}

int Form1::Run(int showCommand) {
    // COM for the window's whole life: the names for screen readers need it from the
    // controls' creation until they are taken back as the window goes, and Windows
    // asks for it to end only once the loop has ended.
    const ComApartment com;
    Form_Load();
    if (hwnd_ == nullptr) return 1;
    ShowWindow(hwnd_, showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
    // A quit posted from outside leaves the window: it goes while COM still runs.
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    return static_cast<int>(message.wParam);
}

void Form1::Dispatch(MSG& message) const {
    // Esc means nothing here, whichever control has the focus, whether it comes as the
    // key or as its character (Ctrl+[ on US and Japanese layouts): the multi-line log,
    // in the dialog mode IsDialogMessageW puts it in, would close the window on it.
    constexpr WPARAM kEscapeCharacter = 0x1B;
    if ((message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) ||
        (message.message == WM_CHAR && message.wParam == kEscapeCharacter))
        return;
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

// Form1 is not a dialog, so nothing else answers the multi-line log's request to
// pass Tab on to the next control.
void Form1::MoveFocus(WPARAM wParam, LPARAM lParam) {
    const HWND target = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                            : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
    if (target != nullptr) SetFocus(target);
}

// The keyboard always lands on a control: the one used last, else the list.
void Form1::RestoreFocus() {
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindow(target) || !IsWindowEnabled(target)) target = Control(IDC_LIST1);
    SetFocus(target);
}

LRESULT CALLBACK Form1::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        Dpi::ScaleFrameWithDpi(hwnd);
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's code. A window whose controls could not
        // be made is not created; any other message simply ends where it failed.
        return message == WM_CREATE ? -1 : 0;
    }
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return CreateControls() ? 0 : -1;
    case WM_COMMAND: {
        // Enter arrives as IDOK outside a dialog: it presses the button only while the
        // button has the focus, never from the list.
        const bool pressed = (LOWORD(wParam) == IDC_COMMAND1 && HIWORD(wParam) == BN_CLICKED) ||
                             (LOWORD(wParam) == IDOK && GetFocus() == Control(IDC_COMMAND1));
        if (!pressed) break;
        // A disabled button can still be "clicked" by a message (BM_CLICK, automation
        // tools); it must do nothing, as the user sees it.
        if (IsWindowEnabled(Control(IDC_COMMAND1))) Command1_Click();
        return 0;
    }
    case WM_NEXTDLGCTL:
        MoveFocus(wParam, lParam);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
        }
        break;  // activation focuses the window itself, which hands it on below
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_GETDPISCALEDSIZE:
        // Windows 10 1703 and later ask first, and then suggest exactly this size.
        *reinterpret_cast<SIZE*>(lParam) = WindowSize(static_cast<UINT>(wParam));
        return TRUE;
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
        // The user chose another message font or text size.
        if (wParam == SPI_SETNONCLIENTMETRICS) ApplyFont();
        break;
    case WM_DESTROY:
        names_.Clear();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Form1::Command1_Click() {
    const bool deleted =
        Module1::DeleteRegistryKey(HKEY_CURRENT_USER, Module1::kRecentFilesParent,
                                   Module1::kRecentFilesName);
    AppendLog(deleted ? Texts::kDeleteSucceeded : Texts::kDeleteFailed);
    ShowRecentFiles();
}

void Form1::ShowRecentFiles() {
    const HWND list1 = Control(IDC_LIST1);
    const HWND command1 = Control(IDC_COMMAND1);

    std::int32_t last = -1;
    try {
        last = Module1::ReadRegistryValues(HKEY_CURRENT_USER, Module1::RecentFilesPath());
    } catch (const std::exception&) {
        // Too big to hold in memory: shown as nothing listed, never as a stale list
        // with the button still offering to clear.
    }
    const size_t count = last == -1 ? 0 : static_cast<size_t>(last) + 1;
    LineList::Fill(list1, font_.get(), dpi_, Module1::RegistryValueLines, count);
    if (count == 0) {
        AppendLog(Texts::kKeyNotFound);
        // A disabled button cannot keep the keyboard focus; hand it to the list.
        if (GetFocus() == command1) SetFocus(list1);
        EnableWindow(command1, FALSE);
        return;
    }
    AppendLog(std::to_wstring(count) + Texts::kKeysFoundSuffix);
    EnableWindow(command1, TRUE);
}

void Form1::AppendLog(const std::wstring& message) {
    const HWND text1 = Control(IDC_TEXT1);
    const int length = GetWindowTextLengthW(text1);
    const std::wstring line =
        (length > 0 ? L"\r\n" : L"") + LocalDateTimeText() + L"  " + message;
    SendMessageW(text1, EM_SETSEL, length, length);
    SendMessageW(text1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageW(text1, EM_SCROLLCARET, 0, 0);
}
