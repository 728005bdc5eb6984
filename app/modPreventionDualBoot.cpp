#include "app/modPreventionDualBoot.h"

#include <utility>

#include "resources/Texts.h"

namespace modPreventionDualBoot {

bool AnotherCopyRuns(const MutexApi& api, UniqueHandle& own) {
    // A refused mutex that no longer exists was held by a copy that ended meanwhile:
    // asked again, this copy makes it, so that whichever copy runs holds it. A token
    // that may make none is refused every time, and its copy starts all the same.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        UniqueHandle made(api.create(nullptr, FALSE, kMutexName));
        const DWORD error = GetLastError();
        if (made) {
            // A refused copy lets go at once: the mutex lives while any handle to it
            // does, and the copy's box may stay up long after the copy it stood for ended.
            if (error == ERROR_ALREADY_EXISTS) return true;
            own = std::move(made);
            return false;
        }
        // Any other failure (the name taken by another kind of object, no resources
        // left) says nothing of another copy.
        if (error != ERROR_ACCESS_DENIED) return false;
        // Refused: either a copy of higher rights or of another user holds a mutex
        // this user may only wait on, or this process may not make one here at all
        // (a restricted token). Only the mutex itself tells.
        const UniqueHandle other(api.open(SYNCHRONIZE, FALSE, kMutexName));
        const DWORD openError = GetLastError();
        if (other || openError == ERROR_ACCESS_DENIED) return true;
        if (openError != ERROR_FILE_NOT_FOUND || attempt == kAttempts) return false;
    }
}

void PreventDualBoot() {
    static UniqueHandle mutex;
    if (mutex) return;  // Asked before by this same copy.
    if (!AnotherCopyRuns(MutexApi{}, mutex)) return;
    MessageBoxW(nullptr, Texts::kAlreadyRunning, Texts::kAppTitle, MB_OK);
    ExitProcess(0);
}

}  // namespace modPreventionDualBoot
