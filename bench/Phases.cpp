// quillrake.exe's start-up, phase by phase: the same program (app/main.cpp's steps,
// the same window, manifest and resources), with a mark taken as each phase ends,
// through the seams the program offers its tests and by watching its windows (a
// creation hook, and its four windows subclassed: hooks on every message would cost
// Wine a round trip to its server each). The shipped exe carries none of this.
// Usage: quillrake_phases START FILE. START is the performance counter when the
// benchmark created this process; FILE receives one line per mark, "counter name",
// once the window has painted for the first time, and the window then closes.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "app/DllSearch.h"
#include "app/Mitigations.h"
#include "app/modPreventionDualBoot.h"
#include "window/Accessibility.h"
#include "window/CommonControls.h"
#include "window/Form1.h"

namespace {

std::vector<std::pair<const char*, LONGLONG>> g_marks;
HWND g_form = nullptr;

bool Marked(const char* phase) {
    for (const auto& mark : g_marks)
        if (std::strcmp(mark.first, phase) == 0) return true;
    return false;
}

// The end of a phase, the first time it is seen.
void Mark(const char* phase) {
    if (Marked(phase)) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    g_marks.emplace_back(phase, now.QuadPart);
}

// Run starts COM, then the load event readies the common controls.
BOOL WINAPI MarkedCommonControls(const INITCOMMONCONTROLSEX* classes) {
    Mark("COM apartment");
    const BOOL done = InitCommonControlsEx(classes);
    Mark("common controls");
    return done;
}

HRESULT WINAPI MarkedServices(IAccPropServices** services) {
    Mark("window and controls");
    return Accessibility::CreateServices(services);
}

// The window and its three controls, each watched for its first paint.
struct Watched {
    HWND window;
    WNDPROC procedure;
};
std::vector<Watched> g_watched;

bool AllPainted() {
    if (g_form == nullptr || !IsWindowVisible(g_form) || g_watched.size() < 4) return false;
    for (const Watched& watched : g_watched)
        if (GetUpdateRect(watched.window, nullptr, FALSE)) return false;
    return true;
}

LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    for (const Watched& watched : g_watched)
        if (watched.window == window) procedure = watched.procedure;
    if (window == g_form) {
        // Once the names are given, the window is placed for its DPI.
        if (message == WM_WINDOWPOSCHANGING && Marked("window and controls")) Mark("annotation service");
        if (message == WM_SHOWWINDOW && wParam) Mark("listing");
    }
    const LRESULT result = CallWindowProcW(procedure, window, message, wParam, lParam);
    if (window == g_form && message == WM_SETICON && wParam == ICON_SMALL) Mark("icons and font");
    if (message == WM_PAINT && AllPainted()) {
        Mark("first paint");
        PostMessageW(g_form, WM_CLOSE, 0, 0);
    }
    return result;
}

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto window = reinterpret_cast<HWND>(wParam);
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        const bool isForm = !IS_INTRESOURCE(create->lpszClass) && std::wcscmp(create->lpszClass, Form1::kClassName) == 0;
        if (isForm) {
            Mark("guard");
            g_form = window;
        }
        if (isForm || (g_form != nullptr && create->hwndParent == g_form))
            g_watched.push_back({window, reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                                             window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Watch)))});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    Mark("entry");
    if (__argc != 3) return 2;
    const LONGLONG start = _wtoi64(__wargv[1]);

    Mitigations::TurnOn();
    DllSearch::Restrict(DllSearch::Available());
    Mark("mitigations");
    CommonControls::initialise = &MarkedCommonControls;
    Accessibility::createServices = &MarkedServices;
    const HHOOK hook = SetWindowsHookExW(WH_CBT, &WatchCreation, nullptr, GetCurrentThreadId());
    Form1 form(instance, &modPreventionDualBoot::PreventDualBoot);
    const int code = form.Run(showCommand);
    UnhookWindowsHookEx(hook);

    std::FILE* out = _wfopen(__wargv[2], L"w");
    if (out == nullptr) return 1;
    for (const auto& [phase, counter] : g_marks) std::fprintf(out, "%lld %s\n", counter - start, phase);
    std::fclose(out);
    return code;
}
