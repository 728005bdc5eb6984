#include "window/Dpi.h"

#include <cstddef>

#include "handles/UniqueHandles.h"

namespace Dpi {

namespace {

template <typename Function>
void Find(Function& function, const char* name) {
    function = reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

Api Lookup() {
    Api api;
    Find(api.getDpiForWindow, "GetDpiForWindow");
    Find(api.getSystemMetricsForDpi, "GetSystemMetricsForDpi");
    Find(api.systemParametersInfoForDpi, "SystemParametersInfoForDpi");
    Find(api.adjustWindowRectExForDpi, "AdjustWindowRectExForDpi");
    return api;
}

UINT SystemDpi() {
    const WindowDC screen(nullptr, nullptr);
    return static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

// The size that every Windows accepts: Vista added a field that XP refuses.
constexpr UINT kMetricsBytes = offsetof(NONCLIENTMETRICSW, lfMessageFont) + sizeof(LOGFONTW);

}  // namespace

Api& Functions() {
    static Api api = Lookup();
    return api;
}

UINT ForWindow(HWND window) {
    if (Functions().getDpiForWindow != nullptr) return Functions().getDpiForWindow(window);
    return SystemDpi();
}

int SystemMetric(int index, UINT dpi) {
    if (Functions().getSystemMetricsForDpi != nullptr)
        return Functions().getSystemMetricsForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

bool MessageFont(UINT dpi, LOGFONTW& font) {
    NONCLIENTMETRICSW metrics = {};
    if (Functions().systemParametersInfoForDpi != nullptr) {
        metrics.cbSize = sizeof metrics;
        if (!Functions().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics,
                                                    &metrics, 0, dpi))
            return false;
        font = metrics.lfMessageFont;
        return true;
    }
    metrics.cbSize = kMetricsBytes;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kMetricsBytes, &metrics, 0)) return false;
    font = metrics.lfMessageFont;
    // The system's font is for the system's DPI; Windows 8.1 may move the window to
    // a monitor of another.
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
