#include "window/Dpi.h"

#include <cstddef>
#include <string>

#include "handles/ModuleFunction.h"
#include "handles/UniqueHandles.h"

namespace Dpi {

namespace {

// Windows 8.1's shcore.dll, by its full path so that no planted copy is found first;
// it stays loaded for the life of the process, which uses it until then.
HMODULE ShellCore() {
    wchar_t folder[MAX_PATH];
    const UINT chars = GetSystemDirectoryW(folder, MAX_PATH);
    if (chars == 0 || chars >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(folder, chars) + L"\\shcore.dll").c_str());
}

UINT SystemDpi() {
    const WindowDC screen(nullptr, nullptr);
    return static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

// The size that every Windows accepts: Vista added a field that XP refuses.
constexpr UINT kMetricsBytes = offsetof(NONCLIENTMETRICSW, lfMessageFont) + sizeof(LOGFONTW);
// With that field, as the per-DPI function is documented to take it; the x86 build's
// headers are XP's, which lack it.
struct VistaMetrics {
    NONCLIENTMETRICSW metrics;
    int paddedBorderWidth;
};
constexpr UINT kVistaMetricsBytes = kMetricsBytes + sizeof(int);

}  // namespace

Api LookUp(HMODULE user32) {
    Api api;
    FindFunction(api.enableNonClientDpiScaling, user32, "EnableNonClientDpiScaling");
    FindFunction(api.getDpiForWindow, user32, "GetDpiForWindow");
    FindFunction(api.getSystemMetricsForDpi, user32, "GetSystemMetricsForDpi");
    FindFunction(api.systemParametersInfoForDpi, user32, "SystemParametersInfoForDpi");
    FindFunction(api.adjustWindowRectExForDpi, user32, "AdjustWindowRectExForDpi");
    if (api.getDpiForWindow == nullptr) FindFunction(api.getDpiForMonitor, ShellCore(), "GetDpiForMonitor");
    return api;
}

Api& Functions() {
    static Api api = LookUp(GetModuleHandleW(L"user32.dll"));
    return api;
}

void ScaleFrameWithDpi(HWND window) {
    if (Functions().enableNonClientDpiScaling != nullptr) Functions().enableNonClientDpiScaling(window);
}

UINT ForWindow(HWND window) {
    if (Functions().getDpiForWindow != nullptr) return Functions().getDpiForWindow(window);
    if (Functions().getDpiForMonitor != nullptr) {
        constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
        UINT dpiX = 0, dpiY = 0;
        if (SUCCEEDED(Functions().getDpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                                                   kEffectiveDpi, &dpiX, &dpiY)) &&
            dpiX != 0)
            return dpiX;
    }
    return SystemDpi();
}

int SystemMetric(int index, UINT dpi) {
    if (Functions().getSystemMetricsForDpi != nullptr)
        return Functions().getSystemMetricsForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

bool MessageFont(UINT dpi, LOGFONTW& font) {
    if (Functions().systemParametersInfoForDpi != nullptr) {
        VistaMetrics vista = {};
        vista.metrics.cbSize = kVistaMetricsBytes;
        if (Functions().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, kVistaMetricsBytes, &vista, 0, dpi)) {
            font = vista.metrics.lfMessageFont;
            return true;
        }
    } else {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = kMetricsBytes;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kMetricsBytes, &metrics, 0)) {
            font = metrics.lfMessageFont;
            // The system's font is for the system's DPI; on Windows 8.1 the window's
            // monitor may have another.
            font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
            return true;
        }
    }
    // Without it, the font Windows gives the dialogs of older programs: a control left
    // without a font draws in the bold, wide system font, on which not even the log's
    // lines fit.
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font) == 0) return false;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return true;
}

void AdjustFrame(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
    if (Functions().adjustWindowRectExForDpi != nullptr) {
        Functions().adjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi);
        return;
    }
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

}  // namespace Dpi
