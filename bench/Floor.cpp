// The floor that Quillrake's start-up and memory are measured against: the same
// window, controls and manifest, built the same way, but every registry call is
// answered "no such key" without the registry being touched.
#include <windows.h>

#include "app/DllSearch.h"
#include "app/modPreventionDualBoot.h"
#include "registry/RegistryApi.h"
#include "window/Form1.h"

namespace {

LSTATUS WINAPI NoSuchKey(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return ERROR_FILE_NOT_FOUND; }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    Module1::Registry().OpenKey = &NoSuchKey;
    DllSearch::Restrict(DllSearch::Available());
    Form1 form(instance, &modPreventionDualBoot::PreventDualBoot);
    return form.Run(showCommand);
}
