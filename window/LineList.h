#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace LineList {

// Replaces the list box's items with lines[0..count), in order, with one allocation
// and one repaint however long the list is, and fits its sideways scrolling to them.
void Fill(HWND list, HFONT font, UINT dpi, const std::vector<std::wstring>& lines, size_t count);

// Lets the list, laid out for `dpi`, scroll sideways as far as its widest item,
// drawn in `font`.
void FitExtent(HWND list, HFONT font, UINT dpi);

}  // namespace LineList
