#include <windows.h>

#include "app/DllSearch.h"
#include "app/Mitigations.h"
#include "app/modPreventionDualBoot.h"
#include "window/Form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    Mitigations::TurnOn();
    DllSearch::Restrict(DllSearch::Available());
    Form1 form(instance, &modPreventionDualBoot::PreventDualBoot);
    return form.Run(showCommand);
}
