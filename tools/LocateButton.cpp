// Prints where Quillrake's button is on the screen, as "x y" of its centre, so that
// the demo clicks it with the real mouse wherever the window is and at any DPI.
#include <windows.h>

#include <cstdio>

#include "resources/resource.h"
#include "window/Form1.h"

int wmain() {
    SetProcessDPIAware();  // real screen pixels, as the X server counts them
    for (int attempt = 0; attempt < 1200; ++attempt) {  // a minute: a new prefix is slow
        const HWND form = FindWindowW(Form1::kClassName, nullptr);
        const HWND button = form != nullptr ? GetDlgItem(form, IDC_COMMAND1) : nullptr;
        RECT r;
        if (button != nullptr && IsWindowVisible(form) && GetWindowRect(button, &r)) {
            std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
            return 0;
        }
        Sleep(50);
    }
    std::fprintf(stderr, "no Quillrake window\n");
    return 1;
}
