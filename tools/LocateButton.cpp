// Starts Quillrake on the Wine desktop it runs on, waits for its window and writes
// where its button is on the screen, as "x y" of its centre, to a file, so that the
// demo clicks it with the real mouse wherever the window is and at any DPI.
// Usage: quillrake_locate PROGRAM ANSWER_FILE. Writes nothing when no window came.
#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "window/Form1.h"

namespace {

// The visible Form1 window of one process, or null.
HWND WindowOf(DWORD processId) {
    for (HWND window = FindWindowExW(nullptr, nullptr, Form1::kClassName, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, Form1::kClassName, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// Written aside and renamed, so that whoever waits for the file reads it whole.
bool WriteAnswer(const std::wstring& path, const RECT& r) {
    const std::wstring aside = path + L".part";
    std::FILE* file = _wfopen(aside.c_str(), L"w");
    if (file == nullptr) return false;
    std::fprintf(file, "%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return std::fclose(file) == 0 && MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillrake_locate PROGRAM ANSWER_FILE\n");
        return 2;
    }
    SetProcessDPIAware();  // real screen pixels, as the X server counts them
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start Quillrake\n");
        return 1;
    }
    for (int attempt = 0; attempt < 1200; ++attempt) {  // a minute: a new prefix is slow
        const HWND form = WindowOf(process.dwProcessId);
        const HWND button = form != nullptr ? GetDlgItem(form, IDC_COMMAND1) : nullptr;
        RECT r;
        if (button != nullptr && GetWindowRect(button, &r)) return WriteAnswer(argv[2], r) ? 0 : 1;
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    }
    std::fprintf(stderr, "no Quillrake window\n");
    return 1;
}
