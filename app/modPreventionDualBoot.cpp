#include "app/modPreventionDualBoot.h"

#include "resources/Texts.h"

namespace modPreventionDualBoot {

bool AnotherCopyRuns(const MutexApi& api, UniqueHandle& own) {
    const HANDLE made = api.create(nullptr, FALSE, kMutexName);
    const DWORD error = GetLastError();
    own.reset(made);
    if (own) return error == ERROR_ALREADY_EXISTS;
    if (error != ERROR_ACCESS_DENIED) return false;
    // Refused: either a copy of higher rights or of another user holds a mutex this
    // user may only wait on, or this process may not make one here at all (a
    // restricted token), and then no copy runs. Only the mutex itself tells.
    const UniqueHandle other(api.open(SYNCHRONIZE, FALSE, kMutexName));
    return other || GetLastError() == ERROR_ACCESS_DENIED;
}

void PreventDualBoot() {
    static UniqueHandle mutex;
    if (mutex) return;  // Asked before by this same copy.
    if (!AnotherCopyRuns(MutexApi{}, mutex)) return;
    MessageBoxW(nullptr, Texts::kAlreadyRunning, Texts::kAppTitle, MB_OK);
    ExitProcess(0);
}

}  // namespace modPreventionDualBoot
