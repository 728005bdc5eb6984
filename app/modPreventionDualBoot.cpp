#include "app/modPreventionDualBoot.h"

#include <windows.h>

#include "resources/Texts.h"
#include "handles/UniqueHandles.h"

namespace modPreventionDualBoot {

namespace {

// True when another process holds the mutex. This process keeps its own handle for
// its whole life, which is what makes the next copy see it. A mutex that exists but
// may not be opened belongs to a copy of another user or of higher rights (started
// as administrator): a copy runs all the same.
bool PreviousInstanceRunning() {
    static UniqueHandle mutex;
    if (mutex) return false;  // Asked before by this same copy.
    mutex.reset(CreateMutexW(nullptr, FALSE, kMutexName));
    const DWORD error = GetLastError();
    return mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

}  // namespace

void PreventDualBoot() {
    if (!PreviousInstanceRunning()) return;
    MessageBoxW(nullptr, Texts::kAlreadyRunning, Texts::kAppTitle, MB_OK);
    ExitProcess(0);
}

}  // namespace modPreventionDualBoot
