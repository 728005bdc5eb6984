#include "window/LineList.h"

#include <windowsx.h>

#include <algorithm>

#include "handles/UniqueHandles.h"
#include "window/Dpi.h"

namespace LineList {

namespace {

// Switches a window's drawing off for its own lifetime, and back on with a repaint
// however the scope ends: of its border and scroll bars too, which may have come or
// gone meanwhile (as WM_SETREDRAW's documentation asks).
class DrawingOff {
public:
    explicit DrawingOff(HWND window) : window_(window) { SetWindowRedraw(window_, FALSE); }
    DrawingOff(const DrawingOff&) = delete;
    DrawingOff& operator=(const DrawingOff&) = delete;
    ~DrawingOff() {
        SetWindowRedraw(window_, TRUE);
        RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

private:
    HWND window_;
};

}  // namespace

void Fill(HWND list, HFONT font, UINT dpi, const std::vector<std::wstring>& lines, size_t count) {
    size_t textBytes = 0;
    for (size_t i = 0; i < count; ++i) textBytes += (lines[i].size() + 1) * sizeof(wchar_t);
    // Emptied and filled unseen, then painted once.
    const DrawingOff unseen(list);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    SendMessageW(list, LB_INITSTORAGE, count, textBytes);
    for (size_t i = 0; i < count; ++i)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines[i].c_str()));
    FitExtent(list, font, dpi);
}

void FitExtent(HWND list, HFONT font, UINT dpi) {
    const WindowDC dc(list, font);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    std::wstring item;
    LONG widest = 0;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT chars = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        if (chars <= 0) continue;
        item.resize(static_cast<size_t>(chars) + 1);
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), item.data(), static_cast<int>(chars), &size);
        widest = std::max(widest, size.cx);
    }
    const int margin = Dpi::SystemMetric(SM_CXEDGE, dpi) * 2;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, widest > 0 ? widest + margin : 0, 0);
}

}  // namespace LineList
