#pragma once

#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0  // Windows 8.1 and later send it; older headers lack it
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4  // Windows 10 1703 and later
#endif

// The DPI a window is laid out for. Windows 10 version 1607 and later tell it per
// window and give metrics for any DPI; Windows 8.1 tells it per monitor; older Windows
// have one DPI for the whole system. Each falls back to what the older ones have.
namespace Dpi {

// The newer functions, looked up at run time: null where Windows lacks them.
struct Api {
    BOOL(WINAPI* enableNonClientDpiScaling)(HWND window) = nullptr;  // 10 1607
    UINT(WINAPI* getDpiForWindow)(HWND window) = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int index, UINT dpi) = nullptr;
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT action, UINT param, PVOID data, UINT ini, UINT dpi) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi) = nullptr;
    HRESULT(WINAPI* getDpiForMonitor)(HMONITOR monitor, int type, UINT* dpiX, UINT* dpiY) = nullptr;  // 8.1
};

// What the program calls, looked up once in this Windows's user32; a test may hide
// functions in it.
Api& Functions();
// What a user32 offers; where it has no per-window DPI (before Windows 10 version
// 1607), the per-monitor one of Windows 8.1's shcore.dll.
Api LookUp(HMODULE user32);

inline int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

UINT ForWindow(HWND window);
// Lets Windows scale the title bar and frame of a top-level window with its monitor's
// DPI, which per-monitor v1 (Windows 10 1607) does only when asked at WM_NCCREATE.
void ScaleFrameWithDpi(HWND window);
int SystemMetric(int index, UINT dpi);
// The user's message font (dialogs, controls) at `dpi`; where Windows does not tell
// it, the default dialog font.
bool MessageFont(UINT dpi, LOGFONTW& font);
// Grows a client rectangle into the window rectangle for that style at `dpi`.
void AdjustFrame(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace Dpi
