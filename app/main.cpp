#include <windows.h>

#include "app/DllSearch.h"
#include "window/Form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    DllSearch::Restrict(DllSearch::Available());
    Form1 form(instance);
    return form.Run(showCommand);
}
