#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Appends lines[0..count) to an (emptied) list box in order, with one allocation and
// one repaint however long the list is, and fits its sideways scrolling to them.
void FillList(HWND list, HFONT font, const std::vector<std::wstring>& lines, size_t count);

// Lets the list scroll sideways as far as its widest item; its items are the first
// lines of `lines`, drawn in `font`.
void FitListExtent(HWND list, HFONT font, const std::vector<std::wstring>& lines);
