#include <windows.h>

#include "app/DllSearch.h"
#include "window/Form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    DllSearch::Restrict(DllSearch::Available());

    Form1 form(instance);
    form.Form_Load();
    if (form.hwnd() == nullptr) return 1;
    ShowWindow(form.hwnd(), showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) form.Dispatch(message);
    return static_cast<int>(message.wParam);
}
