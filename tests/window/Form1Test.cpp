// The main window, driven and read back through window messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/FormHarness.h"
#include "support/Process.h"
#include "window/Accessibility.h"
#include "window/CommonControls.h"
#include "window/Dpi.h"

namespace {

using namespace testing_support;
using Form1Test = FormTest;
// Tests that show and activate the window, or look at what it paints: another
// window in front would change what they see, so they run one at a time.
using ForegroundTest = FormTest;

// Puts the program's DPI functions back when a test that hid or replaced some ends.
struct DpiFunctionsRestorer : Restorer<Dpi::Api> {
    DpiFunctionsRestorer() : Restorer(Dpi::Functions()) {}
};

// ---- Start-up ---------------------------------------------------------------

struct StartupCase {
    const char* label;
    void (*prepare)(RedirectedCurrentUser& currentUser);
    std::vector<std::wstring> items;
    std::wstring message;
};

const StartupCase kStartupCases[] = {
    {"ThreeValuesInOrder",
     [](RedirectedCurrentUser& user) {
         SetString(user.RecentFiles(), L"1", L"C:\\a.vbp");
         SetString(user.RecentFiles(), L"2", L"C:\\b.vbp");
         SetString(user.RecentFiles(), L"3", L"C:\\c.vbp");
     },
     {L"1 = C:\\a.vbp", L"2 = C:\\b.vbp", L"3 = C:\\c.vbp"},
     L"3件のキーを発見"},
    {"OneValue", [](RedirectedCurrentUser& user) { SetDword(user.RecentFiles(), L"only", 1); },
     {L"only = 1"}, L"1件のキーを発見"},
    {"NoKey", [](RedirectedCurrentUser&) {}, {}, L"キーを発見できず"},
    {"KeyWithoutValues", [](RedirectedCurrentUser& user) { user.RecentFiles(); }, {},
     L"キーを発見できず"},
    // Listing asks for full access: a key this user may read but not clear is not offered.
    {"KeyThatCannotBeCleared",
     [](RedirectedCurrentUser& user) {
         SetString(user.RecentFiles(), L"1", L"C:\\a.vbp");
         SetDacl(user.RecentFiles(), L"D:P(A;;KR;;;WD)(A;;WD;;;WD)");
     },
     {}, L"キーを発見できず"},
};

class StartupTest : public FormTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupTest, ListsLogsAndSetsTheButton) {
    GetParam().prepare(currentUser_);
    Load();
    EXPECT_EQ(ListItems(List1()), GetParam().items);
    ExpectStamped(Log(), GetParam().message);
    EXPECT_EQ(IsWindowEnabled(Command1()) != FALSE, !GetParam().items.empty());
    EXPECT_FALSE(IsWindowVisible(form_->hwnd())) << "the program shows the window, not the load";
}

INSTANTIATE_TEST_SUITE_P(Keys, StartupTest, ::testing::ValuesIn(kStartupCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Form1Test, TenThousandValuesAndMebibyteValuesAreAllListedWholeInOrder) {
    const HKEY recent = currentUser_.RecentFiles();
    for (int i = 0; i < 10000; ++i)
        SetString(recent, L"v" + std::to_wstring(i), L"C:\\p" + std::to_wstring(i) + L".vbp");
    SetValue(recent, L"~bin", REG_BINARY, Bytes(1 << 20, 'b'));
    const std::wstring text((1 << 20) / 2 - 1, L's');  // a mebibyte with its NUL
    SetString(recent, L"~str", text);
    std::vector<std::wstring> expected;
    for (const std::wstring& name : EnumerationOrder(recent)) {
        if (name == L"~bin") expected.push_back(L"~bin = " + std::wstring(1 << 20, L'b'));
        else if (name == L"~str") expected.push_back(L"~str = " + text);
        else expected.push_back(name + L" = C:\\p" + name.substr(1) + L".vbp");
    }
    ASSERT_EQ(expected.size(), 10002u);

    Load();
    EXPECT_TRUE(ListItems(List1()) == expected) << "the list differs from the values";
    ExpectStamped(Log(), L"10002件のキーを発見");
    EXPECT_GT(SendMessageW(List1(), LB_GETHORIZONTALEXTENT, 0, 0), 297) << "long lines scroll sideways";
}

// The messages this thread's windows were sent while a SentMessages lives, in order.
std::vector<std::pair<HWND, UINT>> g_sent;

LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION) g_sent.emplace_back(sent->hwnd, sent->message);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class SentMessages {
public:
    SentMessages() {
        g_sent.clear();
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, &RecordSent, nullptr, GetCurrentThreadId());
    }
    ~SentMessages() { UnhookWindowsHookEx(hook_); }
    SentMessages(const SentMessages&) = delete;
    SentMessages& operator=(const SentMessages&) = delete;

private:
    HHOOK hook_;
};

// What the watchers below saw while a window loaded.
const Form1* g_loading = nullptr;
bool g_guardRan = false;
DWORD g_classesReadied = 0;
bool g_readiedAfterGuardOrWindow = false;
HWND g_frameScaled = nullptr;
UINT g_frameScaledDuring = 0;  // the message being handled

BOOL WINAPI WatchCommonControls(const INITCOMMONCONTROLSEX* classes) {
    g_classesReadied = classes->dwSize == sizeof *classes ? classes->dwICC : 0;
    g_readiedAfterGuardOrWindow = g_guardRan || g_loading->hwnd() != nullptr;
    return InitCommonControlsEx(classes);
}

void WatchGuard() { g_guardRan = true; }

BOOL WINAPI WatchFrameScaling(HWND window) {
    g_frameScaled = window;
    g_frameScaledDuring = g_sent.empty() ? 0 : g_sent.back().second;
    return TRUE;
}

// Windows XP needs the common controls readied before the first window, the guard's
// message box included; Windows 10 1607 scales the frame only if asked at WM_NCCREATE.
TEST_F(Form1Test, StartsUpInTheOrderWindowsNeeds) {
    g_guardRan = false;
    g_frameScaled = nullptr;
    const Restorer restoreInitialise(CommonControls::initialise);
    const DpiFunctionsRestorer restore;
    CommonControls::initialise = &WatchCommonControls;
    Dpi::Functions().enableNonClientDpiScaling = &WatchFrameScaling;
    form_ = std::make_unique<Form1>(GetModuleHandleW(nullptr), &WatchGuard);
    g_loading = form_.get();
    {
        const SentMessages sent;
        form_->Form_Load();
    }

    ASSERT_NE(form_->hwnd(), nullptr);
    EXPECT_TRUE(g_guardRan);
    EXPECT_EQ(g_classesReadied, static_cast<DWORD>(ICC_STANDARD_CLASSES)) << "button, edit and list box";
    EXPECT_FALSE(g_readiedAfterGuardOrWindow) << "readied first";
    EXPECT_EQ(g_frameScaled, form_->hwnd());
    EXPECT_EQ(g_frameScaledDuring, static_cast<UINT>(WM_NCCREATE));
}

LSTATUS WINAPI OutOfMemory(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    throw std::bad_alloc();
}

TEST_F(Form1Test, AListingTooBigForMemoryShowsNothingToClear) {
    SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");
    Load();
    ASSERT_TRUE(IsWindowEnabled(Command1()));
    RegistryApiRestorer restore;
    Module1::Registry().EnumValue = &OutOfMemory;
    GetLocalTime(&before_);
    Form1TestAccess::ShowRecentFiles(*form_);
    GetLocalTime(&after_);

    EXPECT_TRUE(ListItems(List1()).empty());
    ExpectStamped(LogLines(Log()).back(), L"キーを発見できず");
    EXPECT_FALSE(IsWindowEnabled(Command1()));
}

// ---- Listing again ----------------------------------------------------------

TEST_F(Form1Test, SecondListingShowsOnlyTheNewLinesAndAddsOneLogLine) {
    for (const wchar_t* name : {L"1", L"2", L"3"}) SetString(currentUser_.RecentFiles(), name, L"old");
    SetString(currentUser_.RecentFiles(), L"3", std::wstring(200, L'w'));
    Load();
    ASSERT_GT(SendMessageW(List1(), LB_GETHORIZONTALEXTENT, 0, 0), 297);
    const std::wstring firstLog = Log();

    RegDeleteValueW(currentUser_.RecentFiles(), L"1");
    RegDeleteValueW(currentUser_.RecentFiles(), L"3");
    SetString(currentUser_.RecentFiles(), L"2", L"C:\\new.vbp");
    SendMessageW(Text1(), EM_SETSEL, 0, 0);  // the user clicked into the log, before its first line
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
    EXPECT_EQ(SendMessageW(List1(), LB_GETHORIZONTALEXTENT, 0, 0), 0) << "nothing left to scroll to";
}

// ---- Keyboard ---------------------------------------------------------------

// Sees the Esc characters that reach the log, before the log's own procedure does.
WNDPROC g_logProcedure = nullptr;
int g_escapesInLog = 0;

LRESULT CALLBACK CountEscapes(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && wParam == 0x1B) ++g_escapesInLog;
    return CallWindowProcW(g_logProcedure, window, message, wParam, lParam);
}

TEST_F(ForegroundTest, TabCyclesThroughTheControlsAndEnterOnTheButtonClears) {
    SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");
    Load();
    Show();
    ASSERT_EQ(GetFocus(), List1()) << "the keyboard starts on the list";
    PressKey(VK_RETURN);
    EXPECT_TRUE(KeyExists(currentUser_.root(), kRecentFilesKey)) << "Enter in the list clears nothing";

    const HWND forward[] = {Command1(), Text1(), List1(), Command1()};
    for (HWND next : forward) {
        PressKey(VK_TAB);
        EXPECT_EQ(GetFocus(), next) << "Tab";
    }
    const HWND backward[] = {List1(), Text1(), Command1()};
    for (HWND next : backward) {
        PressKey(VK_TAB, true);
        EXPECT_EQ(GetFocus(), next) << "Shift+Tab";
    }

    // Esc means nothing, as the key or as its character (Ctrl+[): in dialog mode the
    // multi-line log would close the window on it.
    g_escapesInLog = 0;
    g_logProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(Text1(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountEscapes)));
    for (HWND control : {Text1(), List1(), Command1()}) {
        SetFocus(control);
        PressKey(VK_ESCAPE);
        PostMessageW(control, WM_CHAR, 0x1B, 1);
        PumpMessages(form_.get());
        ASSERT_TRUE(form_->hwnd() != nullptr && IsWindowVisible(form_->hwnd())) << "Esc closed the window";
    }
    EXPECT_EQ(g_escapesInLog, 0) << "the Esc character reached the log";

    PressKey(VK_RETURN);
    EXPECT_FALSE(KeyExists(currentUser_.root(), kRecentFilesKey)) << "Enter on the button clears";
    ASSERT_EQ(GetFocus(), List1());
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Text1()) << "the disabled button is skipped";
    PressKey(VK_TAB, true);
    EXPECT_EQ(GetFocus(), List1());
}

TEST_F(ForegroundTest, FocusReturnsToItsControlWhenTheWindowIsActivatedAgain) {
    SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");  // the button can have the focus too
    Load();
    Show();
    // Minimised and restored. Windows activates another window as it minimises this
    // one, and says so with WM_ACTIVATE, whose high word tells that this one is now
    // minimised; Wine, with no window manager, leaves it active.
    PressKey(VK_TAB);
    ASSERT_EQ(GetFocus(), Command1());
    SendMessageW(form_->hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (GetActiveWindow() == form_->hwnd())
        SendMessageW(form_->hwnd(), WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, TRUE), 0);
    PumpMessages(form_.get());
    SendMessageW(form_->hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpMessages(form_.get());
    EXPECT_EQ(GetFocus(), Command1()) << "after a minimise";

    // Another window in front, then this one again.
    PressKey(VK_TAB);
    ASSERT_EQ(GetFocus(), Text1());
    const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 50,
                                       50, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    PumpMessages(form_.get());
    ASSERT_NE(GetForegroundWindow(), form_->hwnd());
    // Sizing itself, as at a DPI change, never takes the keyboard from the window in front.
    RECT frame;
    GetWindowRect(form_->hwnd(), &frame);
    SendMessageW(form_->hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&frame));
    PumpMessages(form_.get());
    EXPECT_EQ(GetForegroundWindow(), other) << "a DPI change activated the window";
    SetForegroundWindow(form_->hwnd());
    PumpMessages(form_.get());
    EXPECT_EQ(GetFocus(), Text1());
    DestroyWindow(other);
}

// ---- Screen readers ---------------------------------------------------------

// Whether COM runs on this thread; asking leaves it as it was.
bool ComRunning() {
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(started)) CoUninitialize();
    return started == S_FALSE;
}

// Records the names the window gives its controls, as dynamic annotation would take
// them; what it does not use answers E_NOTIMPL.
struct RecordedNames final : IAccPropServices {
    std::vector<std::tuple<HWND, DWORD, DWORD, bool, std::wstring>> given;  // ..., is it a name, the text
    std::vector<HWND> cleared;  // while the control still existed
    std::vector<std::string> calls;  // in order, with the service's making ("create")
    bool watchCom = false;  // a call made without COM is recorded as such
    UINT endOnName = 0;  // a name given posts WM_CLOSE to its window or WM_QUIT to the thread
    ULONG references = 0;

    void Record(const char* call) { calls.push_back(watchCom && !ComRunning() ? call + std::string(" without COM") : call); }

    HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IAccPropServices ? this : nullptr;
        return *out != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return ++references; }
    ULONG WINAPI Release() override {
        Record("release");
        return --references;
    }
    HRESULT WINAPI SetHwndPropStr(HWND window, DWORD object, DWORD child, MSAAPROPID property, LPCWSTR text) override {
        Record("name");
        if (endOnName == WM_CLOSE) PostMessageW(GetParent(window), WM_CLOSE, 0, 0);
        if (endOnName == WM_QUIT) PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
        given.emplace_back(window, object, child, property == PROPID_ACC_NAME, text);
        return S_OK;
    }
    HRESULT WINAPI ClearHwndProps(HWND window, DWORD object, DWORD child, const MSAAPROPID* properties,
                                  int count) override {
        Record("clear");
        if (IsWindow(window) && object == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF &&
            count == 1 && properties[0] == PROPID_ACC_NAME)
            cleared.push_back(window);
        return S_OK;
    }
    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
        { return E_NOTIMPL; }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
        { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
        { return E_NOTIMPL; }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override { return E_NOTIMPL; }
};

RecordedNames* g_recorder = nullptr;

HRESULT WINAPI HandOutRecorder(IAccPropServices** services) {
    g_recorder->Record("create");
    return g_recorder->QueryInterface(IID_IAccPropServices, reinterpret_cast<void**>(services));
}

HRESULT WINAPI NoService(IAccPropServices** services) {
    *services = nullptr;
    return REGDB_E_CLASSNOTREG;
}

TEST_F(Form1Test, ScreenReadersHearANameForTheLogAndTheList) {
    const Restorer restore(Accessibility::createServices);
    RecordedNames recorder;
    g_recorder = &recorder;
    Accessibility::createServices = &HandOutRecorder;
    Load();
    const HWND text1 = Text1(), list1 = List1();
    const auto client = static_cast<DWORD>(OBJID_CLIENT);
    EXPECT_EQ(recorder.given, (decltype(recorder.given){{text1, client, CHILDID_SELF, true, L"ログ"},
                                                         {list1, client, CHILDID_SELF, true, L"最近使ったプロジェクト"}}));
    {
        // Names given again: the old ones are taken back and their service let go first.
        Accessibility::ControlNames again;
        again.Give({{text1, L"a"}});
        recorder.calls.clear();
        again.Give({{text1, L"b"}});
        EXPECT_EQ(recorder.calls, (std::vector<std::string>{"clear", "release", "create", "name"}));
    }
    recorder.cleared.clear();
    form_.reset();
    EXPECT_EQ(recorder.cleared, (std::vector<HWND>{text1, list1})) << "taken back before the controls go";
    EXPECT_EQ(recorder.references, 0u) << "the service is let go";

    // Run as the program runs it: COM from before the names are given until the loop
    // has ended, after they were taken back, however the loop ends (automation tools
    // may post a quit to the thread, with the window still there).
    recorder.watchCom = true;
    for (const UINT ending : {WM_CLOSE, WM_QUIT}) {
        PumpMessages();
        recorder.calls.clear();
        recorder.cleared.clear();
        recorder.endOnName = ending;
        EXPECT_EQ(Form1(GetModuleHandleW(nullptr), [] {}).Run(SW_HIDE), 0);
        EXPECT_EQ(std::count_if(recorder.calls.begin(), recorder.calls.end(),
                                [](const std::string& call) { return call.ends_with("without COM"); }),
                  0)
            << "ended by " << ending;
        EXPECT_EQ(recorder.cleared.size(), 2u) << "ended by " << ending << ": taken back before the controls go";
        EXPECT_EQ(recorder.references, 0u) << "ended by " << ending << ": the service is let go";
        EXPECT_FALSE(ComRunning()) << "COM ends with the loop";
    }
    recorder.watchCom = false;
    recorder.endOnName = 0;

    // Windows' own service is made in this process (Wine's is a stub).
    {
        const ComApartment com;
        ComRef<IAccPropServices> service;
        EXPECT_EQ(Accessibility::CreateServices(service.put()), S_OK);
        EXPECT_TRUE(service);
    }

    // Without the service the window works as ever.
    Accessibility::createServices = &NoService;
    SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");
    Load();
    EXPECT_EQ(ListItems(List1()), std::vector<std::wstring>{L"1 = C:\\a.vbp"});
    Click();
    EXPECT_FALSE(KeyExists(currentUser_.root(), kRecentFilesKey));
}

// ---- Painting ---------------------------------------------------------------

constexpr DWORD kMagenta = 0xFF00FF;  // as a 32-bit DIB holds it: 0xRRGGBB

// A 32-bit bitmap of that size, top row first.
BITMAPINFO TopDown32(LONG width, LONG height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

// What a window paints of its client area, in answer to `message` with a memory DC,
// into a bitmap that starts out magenta: 0xRRGGBB pixels, top row first.
std::vector<DWORD> Painted(HWND window, UINT message, LPARAM flags) {
    RECT client;
    GetClientRect(window, &client);
    const BITMAPINFO info = TopDown32(client.right, client.bottom);
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    auto* first = static_cast<DWORD*>(bits);
    std::fill_n(first, client.right * client.bottom, kMagenta);
    SendMessageW(window, message, reinterpret_cast<WPARAM>(dc), flags);
    GdiFlush();
    std::vector<DWORD> pixels(first, first + client.right * client.bottom);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// Whether the list draws itself when asked now; nothing it draws is magenta.
bool ListDrawsItself(HWND list) {
    const std::vector<DWORD> pixels = Painted(list, WM_PRINTCLIENT, PRF_CLIENT | PRF_ERASEBKGND);
    return std::any_of(pixels.begin(), pixels.end(), [](DWORD pixel) { return pixel != kMagenta; });
}

TEST_F(ForegroundTest, TheControlsAreRepaintedAfterEveryListingAndFontChange) {
    SetString(currentUser_.RecentFiles(), L"1", L"C:\\a.vbp");
    Load();
    Show();
    UpdateWindow(form_->hwnd());
    ASSERT_FALSE(GetUpdateRect(List1(), nullptr, FALSE));

    for (const wchar_t* change : {L"C:\\b.vbp", L""}) {
        if (*change != L'\0') SetString(currentUser_.RecentFiles(), L"1", change);
        else RegDeleteValueW(currentUser_.RecentFiles(), L"1");
        Form1TestAccess::ShowRecentFiles(*form_);
        EXPECT_TRUE(IsWindowVisible(List1()) && ListDrawsItself(List1())) << "drawing is switched back on";
        RECT dirty{}, client{};
        GetClientRect(List1(), &client);
        ASSERT_TRUE(GetUpdateRect(List1(), &dirty, FALSE)) << "the new lines wait to be painted";
        EXPECT_TRUE(EqualRect(&dirty, &client)) << "all of the list";
        {
            const SentMessages sent;
            UpdateWindow(List1());
        }
        EXPECT_GT(std::count(g_sent.begin(), g_sent.end(), std::pair(List1(), UINT{WM_NCPAINT})), 0)
            << "its border and scroll bars too";
        EXPECT_FALSE(GetUpdateRect(List1(), nullptr, FALSE)) << "and then they are painted";
    }

    // Another message font or text size: drawn again with it, not when something
    // happens to cover and uncover them.
    UpdateWindow(form_->hwnd());
    SendMessageW(form_->hwnd(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, reinterpret_cast<LPARAM>(L"WindowMetrics"));
    for (HWND control : {Text1(), List1(), Command1()})
        EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE)) << "control " << GetDlgCtrlID(control) << " waits to be painted";
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

// The colour pixels of an icon, and its width: what Windows draws for it.
std::pair<LONG, std::vector<DWORD>> IconImage(HICON icon) {
    ICONINFO parts{};
    if (icon == nullptr || !GetIconInfo(icon, &parts)) return {};
    BITMAP bitmap{};
    GetObjectW(parts.hbmColor, sizeof bitmap, &bitmap);
    BITMAPINFO info = TopDown32(bitmap.bmWidth, bitmap.bmHeight);
    std::vector<DWORD> pixels(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight);
    const HDC screen = GetDC(nullptr);
    GetDIBits(screen, parts.hbmColor, 0, bitmap.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    return {bitmap.bmWidth, pixels};
}

// Quillrake's icon drawn at a size, from the resource (the test program has a copy).
std::pair<LONG, std::vector<DWORD>> OwnIcon(int size) {
    const auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_QUILLRAKE),
                                                    IMAGE_ICON, size, size, 0));
    auto image = IconImage(icon);
    DestroyIcon(icon);
    return image;
}

// The icons the window itself gives Alt+Tab and the taskbar (big) and its title bar
// (small): two of its own, each alive and of its size.
void ExpectOwnIcons(HWND window, int bigSize, int smallSize) {
    const auto bigIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    const auto smallIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    EXPECT_NE(bigIcon, smallIcon);
    EXPECT_EQ(IconImage(bigIcon), OwnIcon(bigSize)) << "the big icon";
    EXPECT_EQ(IconImage(smallIcon), OwnIcon(smallSize)) << "the small icon";
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
    const struct {
        const char* what;
        HWND window;
        int index;  // GWL_STYLE or GWL_EXSTYLE
        LONG_PTR mask;
        LONG_PTR value;
    } kStyles[] = {
        {"a fixed size", form_->hwnd(), GWL_STYLE, WS_THICKFRAME, 0},
        {"no maximise button", form_->hwnd(), GWL_STYLE, WS_MAXIMIZEBOX, 0},
        {"a minimise button", form_->hwnd(), GWL_STYLE, WS_MINIMIZEBOX, WS_MINIMIZEBOX},
        {"the list in registry order", List1(), GWL_STYLE, LBS_SORT, 0},
        // Wine's list highlights a line with LBS_NOSEL too; Windows' does not.
        {"lines that the arrow keys and clicks select", List1(), GWL_STYLE, LBS_NOSEL, 0},
        {"the log scrolling", Text1(), GWL_STYLE, WS_VSCROLL, WS_VSCROLL},
        {"Tab reaching the log", Text1(), GWL_STYLE, WS_TABSTOP, WS_TABSTOP},
        {"Tab reaching the list", List1(), GWL_STYLE, WS_TABSTOP, WS_TABSTOP},
        {"Tab reaching the button", Command1(), GWL_STYLE, WS_TABSTOP, WS_TABSTOP},
        {"the log's sunken border", Text1(), GWL_EXSTYLE, WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE},
        {"the list's sunken border", List1(), GWL_EXSTYLE, WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE},
        {"a plain push button, not a default one", Command1(), GWL_STYLE, BS_TYPEMASK, BS_PUSHBUTTON},
    };
    for (const auto& row : kStyles)
        EXPECT_EQ(GetWindowLongPtrW(row.window, row.index) & row.mask, row.value) << row.what;

    const std::vector<DWORD> background = Painted(form_->hwnd(), WM_ERASEBKGND, 0);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const DWORD faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    EXPECT_EQ(std::count(background.begin(), background.end(), faceRgb), std::ssize(background))
        << "the background is the dialog face colour";
    ExpectOwnIcons(form_->hwnd(), GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CXSMICON));

    // Over the dialog face, between the controls, the pointer is the arrow, whatever it
    // came with.
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SendMessageW(form_->hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form_->hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW)) << "the pointer over the dialog face";
}

TEST_F(Form1Test, TheLogShowsItsNewestLine) {
    Load();
    for (int i = 0; i < 12; ++i) Form1TestAccess::ShowRecentFiles(*form_);
    // However its lines wrap, the view has followed the appends: the text's last
    // character lies inside it and the first above it.
    RECT view{};
    SendMessageW(Text1(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
    const auto top = [&](int index) {
        return static_cast<short>(HIWORD(SendMessageW(Text1(), EM_POSFROMCHAR, index, 0)));
    };
    const int newest = GetWindowTextLengthW(Text1()) - 1;
    EXPECT_LT(top(0), view.top) << "the oldest line is scrolled out";
    EXPECT_GE(top(newest), view.top) << "the newest line is in view";
    EXPECT_LT(top(newest), view.bottom) << "the newest line is in view";
}

TEST_F(Form1Test, TheLogKeepsGrowingPastThirtyTwoThousandCharacters) {
    Load();
    // Many short lines: the edit box wraps one very long line slowly.
    const std::wstring message(100, L'x');
    for (int i = 0; i < 400; ++i) Form1TestAccess::AppendLog(*form_, message);
    ASSERT_GT(Log().size(), 40000u);
    const std::vector<std::wstring> lines = LogLines(Log());
    ASSERT_EQ(lines.size(), 401u);
    EXPECT_TRUE(lines.back().ends_with(message)) << "the newest line is whole";
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

// Three lines, the widest in the middle: every line counts for the sideways range.
void AddThreeLinesWidestInTheMiddle(HKEY key) {
    SetString(key, L"1", L"C:\\a.vbp");
    SetString(key, L"2", L"C:\\" + std::wstring(60, L'W') + L".vbp");
    SetString(key, L"3", L"C:\\c.vbp");
}

// How far the list must scroll sideways: its widest item in the font it draws with,
// plus the two edges of its sunken border, `edge` pixels each.
LRESULT NeededExtent(HWND list, int edge) {
    const HDC dc = GetDC(list);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::wstring& item : ListItems(list)) {
        SIZE size{};
        GetTextExtentPoint32W(dc, item.c_str(), static_cast<int>(item.size()), &size);
        widest = std::max(widest, size.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    return widest + 2 * edge;
}

LRESULT Extent(HWND list) { return SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0); }

UINT WINAPI WindowAt120(HWND) { return 120; }

TEST_F(Form1Test, DoublingTheDpiDoublesTheLayout) {
    AddThreeLinesWidestInTheMiddle(currentUser_.RecentFiles());
    {
        // The window's own DPI differs from the system's, as on a second monitor.
        const DpiFunctionsRestorer restore;
        Dpi::Functions().getDpiForWindow = &WindowAt120;
        Load();
    }
    RECT client;
    GetClientRect(form_->hwnd(), &client);
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(389L, 336L)) << "311 by 269 at 96 DPI";
    EXPECT_EQ(Extent(List1()), NeededExtent(List1(), GetSystemMetricsForDpi(SM_CXEDGE, 120)));
    EXPECT_NE(GetWindowLongPtrW(List1(), GWL_STYLE) & WS_HSCROLL, 0) << "a scroll bar for the long line";

    // Windows 10 1703 and later ask for the size first, and suggest it.
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form_->hwnd(), GWL_STYLE));
    RECT wanted = {0, 0, 622, 538};
    AdjustWindowRectExForDpi(&wanted, style, FALSE, 0, 192);
    SIZE asked{};
    EXPECT_TRUE(SendMessageW(form_->hwnd(), WM_GETDPISCALEDSIZE, 192, reinterpret_cast<LPARAM>(&asked)));
    EXPECT_EQ(std::pair(asked.cx, asked.cy), std::pair(wanted.right - wanted.left, wanted.bottom - wanted.top));
    // Older ones scale the whole window, frame included, which leaves a band below.
    RECT suggested;
    GetWindowRect(form_->hwnd(), &suggested);
    suggested = {suggested.left + 3, suggested.top + 5, suggested.left + 3 + 2 * (suggested.right - suggested.left),
                 suggested.top + 5 + 2 * (suggested.bottom - suggested.top)};
    {
        const SentMessages sent;
        SendMessageW(form_->hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192),
                     reinterpret_cast<LPARAM>(&suggested));
    }
    const auto moved = std::find_if(g_sent.begin(), g_sent.end(),
                                    [](const auto& sent) { return sent.second == WM_WINDOWPOSCHANGED; });
    ASSERT_NE(moved, g_sent.end());
    EXPECT_EQ(moved->first, form_->hwnd()) << "the window takes its new place before its controls";
    RECT frame;
    GetWindowRect(form_->hwnd(), &frame);
    EXPECT_EQ(std::pair(frame.left, frame.top), std::pair(suggested.left, suggested.top)) << "where Windows suggests";
    GetClientRect(form_->hwnd(), &client);
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(622L, 538L)) << "exactly twice 311 by 269";
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
    EXPECT_EQ(Extent(List1()), NeededExtent(List1(), GetSystemMetricsForDpi(SM_CXEDGE, 192)));
    ExpectOwnIcons(form_->hwnd(), GetSystemMetricsForDpi(SM_CXICON, 192), GetSystemMetricsForDpi(SM_CXSMICON, 192));
}

// ---- Windows without per-monitor DPI ---------------------------------------

// The height of the font a control draws with.
LONG FontHeight(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

// The user's message font at the system's DPI, and that DPI, as older Windows give them.
LONG SystemMessageFontHeight() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    return metrics.lfMessageFont.lfHeight;
}

int SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The user chose a larger message font, which every window is told about.
BOOL WINAPI LargerMessageFont(UINT action, UINT param, PVOID data, UINT ini, UINT dpi) {
    if (!SystemParametersInfoForDpi(action, param, data, ini, dpi)) return FALSE;
    if (action == SPI_GETNONCLIENTMETRICS) static_cast<NONCLIENTMETRICSW*>(data)->lfMessageFont.lfHeight = -30;
    return TRUE;
}

BOOL WINAPI NoMetrics(UINT, UINT, PVOID, UINT, UINT) { return FALSE; }

TEST_F(Form1Test, AChangedMessageFontIsTakenAtOnceAndNeverTheSystemFont) {
    AddThreeLinesWidestInTheMiddle(currentUser_.RecentFiles());
    Load();
    const DpiFunctionsRestorer restore;
    LOGFONTW dialog{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof dialog, &dialog);
    const struct {
        const char* what;
        decltype(Dpi::Api::systemParametersInfoForDpi) metrics;
        UINT dpi;  // the window's
        LONG height;
    } kChanges[] = {
        {"a larger message font", &LargerMessageFont, 96, -30},
        // A control without a font draws in the bold, wide system font.
        {"no message font to be had: the dialog font", &NoMetrics, 96, dialog.lfHeight},
        {"no message font on a 150 % monitor: the dialog font at its DPI", &NoMetrics, 144,
         MulDiv(dialog.lfHeight, 144, SystemDpi())},
    };
    for (const auto& change : kChanges) {
        Dpi::Functions().systemParametersInfoForDpi = change.metrics;
        RECT frame;
        GetWindowRect(form_->hwnd(), &frame);
        SendMessageW(form_->hwnd(), WM_DPICHANGED, MAKEWPARAM(change.dpi, change.dpi), reinterpret_cast<LPARAM>(&frame));
        SendMessageW(form_->hwnd(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS,
                     reinterpret_cast<LPARAM>(L"WindowMetrics"));
        for (HWND control : {Text1(), List1(), Command1()}) EXPECT_EQ(FontHeight(control), change.height) << change.what;
        EXPECT_EQ(Extent(List1()), NeededExtent(List1(), GetSystemMetricsForDpi(SM_CXEDGE, change.dpi))) << change.what;
    }
}

// A monitor whose scaling the user set to 150 %: that is its effective DPI (type 0).
HRESULT WINAPI MonitorAt144(HMONITOR, int type, UINT* dpiX, UINT* dpiY) {
    *dpiX = *dpiY = type == 0 ? 144 : 96;
    return S_OK;
}

// Windows 8.1: the monitor's DPI, with the system's metrics scaled to it.
TEST_F(Form1Test, WithOnlyTheMonitorsDpiTheWindowLaysOutAtIt) {
    // Where user32 has no per-window DPI, the monitor's is looked up in shcore.dll: the
    // system's, never one planted where a search by name looks first (on XP to 7
    // without KB2533623, the exe's own folder).
    wchar_t temp[MAX_PATH];
    const std::wstring planted = std::wstring(temp, GetTempPathW(MAX_PATH, temp)) + L"quillrake-planted-" +
                                 std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(planted.c_str(), nullptr);
    CopyFileW(TestProgramPath().c_str(), (planted + L"\\shcore.dll").c_str(), FALSE);
    SetDllDirectoryW(planted.c_str());
    const Dpi::Api older = Dpi::LookUp(nullptr);
    SetDllDirectoryW(nullptr);
    HMODULE used = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(older.getDpiForMonitor), &used);
    wchar_t system[MAX_PATH], module[MAX_PATH] = {};
    GetModuleFileNameW(used, module, MAX_PATH);
    EXPECT_EQ(std::wstring(module), std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\shcore.dll");
    DeleteFileW((planted + L"\\shcore.dll").c_str());
    RemoveDirectoryW(planted.c_str());
    ASSERT_NE(older.getDpiForMonitor, nullptr);
    UINT dpiX = 0, dpiY = 0;
    EXPECT_EQ(older.getDpiForMonitor(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), 0, &dpiX, &dpiY), S_OK);
    EXPECT_EQ(static_cast<int>(dpiX), SystemDpi());

    const DpiFunctionsRestorer restore;
    Dpi::Functions() = {};
    Dpi::Functions().getDpiForMonitor = &MonitorAt144;
    AddThreeLinesWidestInTheMiddle(currentUser_.RecentFiles());
    Load();

    ExpectRect(List1(), 11, 108, 446, 222);  // 7, 72, 297 and 148 pixels at 96 DPI
    ExpectRect(Command1(), 96, 348, 254, 38);
    EXPECT_EQ(FontHeight(List1()), MulDiv(SystemMessageFontHeight(), 144, SystemDpi()));
    EXPECT_EQ(Extent(List1()), NeededExtent(List1(), MulDiv(GetSystemMetrics(SM_CXEDGE), 144, SystemDpi())));

    // Moved to a 200 % monitor. Asked again now, Windows 8.1 may still answer for the
    // monitor the window left (144 here): the change's own DPI counts.
    RECT frame;
    GetWindowRect(form_->hwnd(), &frame);
    SendMessageW(form_->hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&frame));
    ExpectRect(List1(), 14, 144, 594, 296);
    EXPECT_EQ(FontHeight(List1()), MulDiv(SystemMessageFontHeight(), 192, SystemDpi()));
    EXPECT_EQ(Extent(List1()), NeededExtent(List1(), MulDiv(GetSystemMetrics(SM_CXEDGE), 192, SystemDpi())));
}

// Run by the test below in a child process, after it set the system DPI: the window
// as Windows before 10 version 1607 lay it out, without the per-monitor functions.
TEST_F(Form1Test, DISABLED_LaysOutAtTheSystemDpiInAChildProcess) {
    const wchar_t* expected = _wgetenv(L"QUILLRAKE_SYSTEM_DPI");
    ASSERT_NE(expected, nullptr);
    const int dpi = std::stoi(expected);
    ASSERT_EQ(SystemDpi(), dpi) << "the system DPI was not taken";
    Dpi::Functions() = {};
    Load();

    RECT client, frame;
    GetClientRect(form_->hwnd(), &client);
    EXPECT_EQ(client.right, MulDiv(311, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(269, dpi, 96));
    ExpectRect(Text1(), MulDiv(8, dpi, 96), MulDiv(8, dpi, 96), MulDiv(297, dpi, 96), MulDiv(65, dpi, 96));
    ExpectRect(List1(), MulDiv(7, dpi, 96), MulDiv(72, dpi, 96), MulDiv(297, dpi, 96), MulDiv(148, dpi, 96));
    ExpectRect(Command1(), MulDiv(64, dpi, 96), MulDiv(232, dpi, 96), MulDiv(169, dpi, 96), MulDiv(25, dpi, 96));
    GetWindowRect(form_->hwnd(), &frame);
    RECT expectedFrame = client;
    AdjustWindowRectEx(&expectedFrame, static_cast<DWORD>(GetWindowLongPtrW(form_->hwnd(), GWL_STYLE)), FALSE, 0);
    EXPECT_EQ(frame.right - frame.left, expectedFrame.right - expectedFrame.left);
    EXPECT_EQ(frame.bottom - frame.top, expectedFrame.bottom - expectedFrame.top);

    EXPECT_EQ(FontHeight(List1()), SystemMessageFontHeight()) << "the system's message font";
}

// The system DPI as Windows keeps it for the user, for the processes started meanwhile.
class SystemDpiSetting {
public:
    explicit SystemDpiSetting(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key_, nullptr);
        DWORD bytes = sizeof old_;
        hadOld_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_),
                                   &bytes) == ERROR_SUCCESS;
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~SystemDpiSetting() {
        if (hadOld_) RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        else RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    SystemDpiSetting(const SystemDpiSetting&) = delete;
    SystemDpiSetting& operator=(const SystemDpiSetting&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool hadOld_ = false;
};

TEST(SystemDpi, WithoutPerMonitorFunctionsTheWindowLaysOutAt120And144Dpi) {
    for (const int dpi : {120, 144}) {
        SCOPED_TRACE(dpi);
        const SystemDpiSetting setting(static_cast<DWORD>(dpi));
        EXPECT_EQ(ExitCodeOfChildTest(L"Form1Test.DISABLED_LaysOutAtTheSystemDpiInAChildProcess",
                                      {{L"QUILLRAKE_SYSTEM_DPI", std::to_wstring(dpi).c_str()}}),
                  0u)
            << "the child's report is above";
    }
}

// Run with a user locale (en-US) that is not the system's (ja-JP), and a short date of
// the user's own: the log is stamped the way the user reads dates, not the system.
using UserLocaleTest = FormTest;

TEST_F(UserLocaleTest, TheLogIsStampedInTheUsersFormatNotTheSystems) {
    ASSERT_NE(GetUserDefaultLCID(), GetSystemDefaultLCID()) << "the test bench gave no user locale of its own";
    // Kept by this process whatever other processes write to the shared setting.
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"dd.MM.yyyy"));
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t system[80] = {};
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &now, nullptr, system, 80);
    ASSERT_NE(DateTimeText(now).substr(0, 10), system) << "the two must differ to tell them apart";
    Load();
    ExpectStamped(Log(), L"キーを発見できず");
}

}  // namespace
