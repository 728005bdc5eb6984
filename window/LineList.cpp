#include "window/LineList.h"

#include <windowsx.h>

#include <algorithm>

#include "window/UniqueHandles.h"

void FillList(HWND list, HFONT font, const std::vector<std::wstring>& lines, size_t count) {
    size_t textBytes = 0;
    for (size_t i = 0; i < count; ++i) textBytes += (lines[i].size() + 1) * sizeof(wchar_t);
    SetWindowRedraw(list, FALSE);
    SendMessageW(list, LB_INITSTORAGE, count, textBytes);
    for (size_t i = 0; i < count; ++i)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines[i].c_str()));
    FitListExtent(list, font, lines);
    SetWindowRedraw(list, TRUE);
    InvalidateRect(list, nullptr, TRUE);
}

void FitListExtent(HWND list, HFONT font, const std::vector<std::wstring>& lines) {
    const size_t count = std::min(static_cast<size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0)), lines.size());
    const WindowDC dc(list, font);
    LONG widest = 0;
    for (size_t i = 0; i < count; ++i) {
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), lines[i].c_str(), static_cast<int>(lines[i].size()), &size);
        widest = std::max(widest, size.cx);
    }
    const int margin = GetSystemMetricsForDpi(SM_CXEDGE, GetDpiForWindow(list)) * 2;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, widest > 0 ? widest + margin : 0, 0);
}
